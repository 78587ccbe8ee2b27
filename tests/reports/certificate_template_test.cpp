#include "reports/certificate_template.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "platform/cp936.h"
#include "support/scripted_host.h"
#include "support/temp_folder.h"

namespace korvin {
namespace {

namespace tf = templatefield;
using ::testing::IsEmpty;

const std::filesystem::path kStandardTemplate = KORVIN_SHARE_DIR "/ROVA_Standard.conf";

std::string FileText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The six reference models and serial numbers keep up to eight leading blanks as "$".
TEST(TemplateBlankCoding, LeadingBlanksUpToTheEighthCharacter) {
  struct Case {
    const char* screen;
    const char* stored;
  } cases[] = {
      {"   ABC", "$$$ABC"},
      {"          X", "$$$$$$$$  X"},
      {"A$B", "A$B"},
      {"AB C", "AB C"},
      {"", ""},
      {"        ", "$$$$$$$$"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EncodeLeadingBlanks(c.screen), c.stored) << "[" << c.screen << "]";
    EXPECT_EQ(DecodeLeadingBlanks(c.stored), c.screen) << "[" << c.stored << "]";
  }
  EXPECT_EQ(DecodeLeadingBlanks("$$X$"), "  X$");
  EXPECT_EQ(DecodeLeadingBlanks("$$$$$$$$$X"), "        $X");
}

// All 35 keys in their sections and in table order in a new file; what is read back is what
// was saved, less what a profile file drops: trailing blanks, and the leading blanks of the
// values that are not blank-coded.
TEST(TemplateFile, NewFileInTableOrderAndReadBack) {
  test::ScratchFolder folder("korvin-template");
  TemplateValues values;
  for (size_t i = 0; i < values.size(); ++i) values[i] = "v" + std::to_string(i);
  values[tf::kMirrorModel] = "   ABC";
  values[tf::kPressureSerial] = "          X";
  values[tf::kTemperatureModel] = "Pt$100  ";
  values[tf::kInfo1] = "  leading and trailing  ";
  values[tf::kCompanyName] = "上海仪表有限公司";
  values[tf::kInspector] = "";
  const std::filesystem::path file = folder / "new.conf";
  ASSERT_TRUE(WriteTemplateFile(file, values));

  std::string expected;
  std::string_view section;
  for (size_t i = 0; i < kTemplateKeys.size(); ++i) {
    if (kTemplateKeys[i].section != section) {
      section = kTemplateKeys[i].section;
      expected += "[" + std::string(section) + "]\r\n";
    }
    const std::string stored =
        kTemplateKeys[i].blankCoded ? EncodeLeadingBlanks(values[i]) : values[i];
    expected += std::string(kTemplateKeys[i].key) + "=" + Utf8ToCp936(stored) + "\r\n";
  }
  EXPECT_EQ(FileText(file), expected);
  EXPECT_NE(FileText(file).find("Model=$$$ABC\r\n"), std::string::npos);
  EXPECT_NE(FileText(file).find("SN=$$$$$$$$  X\r\n"), std::string::npos);

  TemplateValues back = ReadTemplateFile(file);
  TemplateValues want = values;
  want[tf::kTemperatureModel] = "Pt$100";
  want[tf::kInfo1] = "leading and trailing";
  EXPECT_EQ(back, want);
}

// Saving over an existing template replaces the 35 values and keeps its other lines.
TEST(TemplateFile, SavingOverAFileKeepsItsOtherLines) {
  test::ScratchFolder folder("korvin-template");
  const std::filesystem::path file = folder / "mine.conf";
  std::ofstream(file, std::ios::binary) << "; our lab\r\n[INFO]\r\nInfo1=old\r\nOwnKey=kept\r\n"
                                           "[OWN SECTION]\r\nx=1\r\n";
  TemplateValues values;
  values[tf::kInfo1] = "new";
  ASSERT_TRUE(WriteTemplateFile(file, values));
  const std::string text = FileText(file);
  EXPECT_EQ(text.rfind("; our lab\r\n[INFO]\r\nInfo1=new\r\nOwnKey=kept\r\nInfo2=\r\n", 0), 0u);
  EXPECT_NE(text.find("[OWN SECTION]\r\nx=1\r\n[TEST CONDITIONS]\r\n"), std::string::npos);
  EXPECT_EQ(ReadTemplateFile(file)[tf::kInfo1], "new");
}

TEST(TemplateFile, ValueOf300CharactersReadsAsItsFirst259) {
  test::ScratchFolder folder("korvin-template");
  const std::string long300(300, 'q');
  std::ofstream(folder / "long.conf", std::ios::binary) << "[INFO]\r\nInfo2=" << long300 << "\r\n";
  EXPECT_EQ(ReadTemplateFile(folder / "long.conf")[tf::kInfo2], long300.substr(0, 259));
  EXPECT_EQ(ReadTemplateFile(folder / "missing.conf"), TemplateValues{});
}

// The shipped standard template: code page 936 on disk, every key present.
TEST(StandardTemplate, HoldsAll35KeysInCodePage936) {
  const std::string text = FileText(kStandardTemplate);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.find("Addr4=\xc9\xcf\xba\xa3"), std::string::npos);  // 上海 in code page 936
  for (const TemplateKey& k : kTemplateKeys) {
    EXPECT_NE(text.find("\r\n" + std::string(k.key) + "="), std::string::npos) << k.key;
  }
  const TemplateValues values = ReadTemplateFile(kStandardTemplate);
  EXPECT_EQ(values[tf::kTestMedium], "Synthetic air");
  EXPECT_EQ(values[tf::kMirrorUncertainty], "±0.1");
  EXPECT_EQ(values[tf::kAddress4].rfind("上海办事处", 0), 0u);
  EXPECT_EQ(values[tf::kLogoPath], "");
}

TEST(StandardTemplate, RecognisedByItsExactNameInAnyFolder) {
  EXPECT_TRUE(IsStandardTemplate("ROVA_Standard.conf"));
  EXPECT_TRUE(IsStandardTemplate("/any/folder/ROVA_Standard.conf"));
  EXPECT_FALSE(IsStandardTemplate("/any/folder/rova_standard.conf"));
  EXPECT_FALSE(IsStandardTemplate("/any/folder/ROVA_Standard.CONF"));
  EXPECT_FALSE(IsStandardTemplate("/any/folder/Copy of ROVA_Standard.conf"));
  EXPECT_FALSE(IsStandardTemplate("/ROVA_Standard.conf/other.conf"));
}

// The choosers' titles and filters; a cancelled open reads nothing, a cancelled save writes
// nothing.
TEST(TemplateChoosers, TitlesFiltersAndCancelling) {
  test::ScratchFolder folder("korvin-template");
  test::ScriptedHost host;
  const LoadedTemplate cancelled = LoadCertificateTemplate(host, folder.path());
  EXPECT_TRUE(cancelled.path.empty());
  EXPECT_FALSE(cancelled.standard);
  EXPECT_EQ(cancelled.values, TemplateValues{});
  ASSERT_EQ(host.choosers.size(), 1u);
  EXPECT_EQ(host.choosers[0].mode, FileChooserSpec::Mode::kOpen);
  EXPECT_EQ(host.choosers[0].title, "please select certificate config file");
  EXPECT_EQ(host.choosers[0].filterName, "Certificate config Files(*.conf)");
  EXPECT_EQ(host.choosers[0].pattern, "*.conf");
  EXPECT_EQ(host.choosers[0].folder, folder.path());

  host.files = {kStandardTemplate};
  const LoadedTemplate standard = LoadCertificateTemplate(host, folder.path());
  EXPECT_TRUE(standard.standard);
  EXPECT_EQ(standard.path, kStandardTemplate);
  EXPECT_EQ(standard.values[tf::kTestMedium], "Synthetic air");

  EXPECT_EQ(SaveCertificateTemplate(host, standard.values), std::nullopt);
  ASSERT_EQ(host.choosers.size(), 3u);
  EXPECT_EQ(host.choosers[2].mode, FileChooserSpec::Mode::kSave);
  EXPECT_EQ(host.choosers[2].title, "Create a new certificate sample");
  EXPECT_EQ(host.choosers[2].filterName, "(*.conf)");
  EXPECT_EQ(host.choosers[2].defaultSuffix, "conf");

  host.files = {folder / "copy.conf"};
  const std::optional<SavedTemplate> saved = SaveCertificateTemplate(host, standard.values);
  ASSERT_TRUE(saved);
  EXPECT_TRUE(saved->written);
  EXPECT_EQ(ReadTemplateFile(folder / "copy.conf"), standard.values);

  host.files = {folder / "no folder" / "x.conf"};
  EXPECT_FALSE(SaveCertificateTemplate(host, standard.values)->written);
  EXPECT_THAT(host.messages, IsEmpty());
}

}  // namespace
}  // namespace korvin
