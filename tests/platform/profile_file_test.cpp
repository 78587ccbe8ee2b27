#include "platform/profile_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "platform/cp936.h"
#include "support/temp_folder.h"

namespace korvin {
namespace {

using TempFolder = test::ScratchFolder;

std::string FileText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::filesystem::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

// Section and key names match without regard to case, around their blanks; the bytes of a
// double-byte name are compared as they are.
TEST(ProfileFileNames, MatchWithoutRegardToCase) {
  const ProfileFile p(
      "[Test Conditions]\r\n  TEST medium  = Air\r\n[ \xce\xc2\xb6\xc8 ]\r\nKey=cjk\r\n");
  struct Case {
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {
      {"TEST CONDITIONS", "Test medium", "Air"},    {"test conditions", "test MEDIUM", "Air"},
      {" Test Conditions ", "Test medium ", "Air"}, {"温度", "KEY", "cjk"},
      {"TEST CONDITION", "Test medium", "default"}, {"TEST CONDITIONS", "Test", "default"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(p.Get(c.section, c.key, "default"), c.value) << c.section << "/" << c.key;
  }
  // 0xC8 0x41 and 0xC8 0x61 are two different double-byte characters, not "A" and "a".
  const ProfileFile dbcs("[S]\r\n\xc8\x41=upper\r\n");
  EXPECT_EQ(dbcs.Get("S", Cp936ToUtf8("\xc8\x61"), "none"), "none");
  EXPECT_EQ(dbcs.Get("S", Cp936ToUtf8("\xc8\x41"), "none"), "upper");
}

// Blanks around a value are not kept; quotation marks around the whole value are dropped, any
// others stay.
TEST(ProfileFileValues, BlanksAndQuotes) {
  const ProfileFile p(
      "[S]\n"
      "plain=  two words \t\n"
      "double=\"  quoted  \"\n"
      "single='x'\n"
      "inner=a \"b\" c\n"
      "half=\"open\n"
      "lone=\"\n"
      "mixed=\"x'\n"
      "empty=\n"
      "equals=a=b\n");
  struct Case {
    const char* key;
    const char* value;
  } cases[] = {
      {"plain", "two words"}, {"double", "  quoted  "}, {"single", "x"},   {"inner", "a \"b\" c"},
      {"half", "\"open"},     {"lone", "\""},           {"mixed", "\"x'"}, {"empty", ""},
      {"equals", "a=b"},
  };
  for (const Case& c : cases) EXPECT_EQ(p.Get("S", c.key, "default"), c.value) << c.key;
}

// A missing file, section or key reads as the default; a key before any section, a comment and
// a key of another section are no key of the section asked; the first of two keys counts.
TEST(ProfileFileValues, MissingPiecesReadAsTheDefault) {
  TempFolder folder;
  EXPECT_EQ(ProfileFile::Load(folder / "missing.conf").Get("S", "k", "d"), "d");
  EXPECT_EQ(ProfileFile::Load(folder.path()).Get("S", "k", "d"), "d");  // a folder
  const ProfileFile p(
      "k=before\n"
      "[S]\n"
      ";k=comment\n"
      "k=first\n"
      "k=second\n"
      "no assignment\n"
      "[T]\n"
      "other=1\n"
      "[S]\n"
      "later=2\n");
  EXPECT_EQ(p.Get("S", "k", "d"), "first");
  EXPECT_EQ(p.Get("S", "other", "d"), "d");
  EXPECT_EQ(p.Get("S", "no assignment", "d"), "d");
  EXPECT_EQ(p.Get("", "k", "d"), "d");
  EXPECT_EQ(p.Get("S", ";k", "d"), "d");
  EXPECT_EQ(p.Get("T", "other", "d"), "1");
}

// A value keeps at most 259 bytes on disk, and never half of a double-byte character.
TEST(ProfileFileValues, ValueLimitIs259Characters) {
  const std::string long300(300, 'x');
  const ProfileFile p("[S]\nlong=" + long300 + "\n");
  EXPECT_EQ(p.Get("S", "long"), long300.substr(0, 259));
  EXPECT_EQ(p.Get("S", "long", "", 11), long300.substr(0, 10));

  // "a" followed by 130 double-byte characters: 259 bytes end inside the 130th.
  std::string cjk = "a";
  for (int i = 0; i < 130; ++i) cjk += "\xce\xc2";
  const ProfileFile q("[S]\ncjk=" + cjk + "\n");
  const std::string value = q.Get("S", "cjk");
  std::string expected = "a";
  for (int i = 0; i < 129; ++i) expected += "温";
  EXPECT_EQ(value, expected);
}

// Values are code page 936 on disk and UTF-8 inside.
TEST(ProfileFileValues, CodePage936OnDiskUtf8Inside) {
  ProfileFile p("[COMPANY_ADDRESS]\r\nName=\xce\xc2\xb6\xc8 \xa1\xe6\r\n");
  EXPECT_EQ(p.Get("COMPANY_ADDRESS", "Name"), "温度 ℃");
  p.Set("COMPANY_ADDRESS", "Addr1", "± 0.2 ℃");
  EXPECT_EQ(
      p.Bytes(),
      "[COMPANY_ADDRESS]\r\nName=\xce\xc2\xb6\xc8 \xa1\xe6\r\nAddr1=\xa1\xc0 0.2 \xa1\xe6\r\n");
}

// Writing into an existing file replaces the value in place; every other line stays byte for
// byte: comments, unknown keys, other sections, blank lines and CRLF or LF line ends.
TEST(ProfileFileWrite, ReplacesInPlaceAndKeepsEveryOtherLine) {
  const std::string before =
      "; written by hand\r\n"
      "[INFO]\r\n"
      "Info1 = old one\r\n"
      "Unknown=keep me\r\n"
      "\r\n"
      "[Mine]\n"
      "mixed=LF line\n"
      "[info]\r\n"
      "Info1=second section of the same name\r\n";
  ProfileFile p(before);
  p.Set("info", "INFO1", "new one");
  p.Set("INFO", "Info2", "added");
  p.Set("Mine", "mixed", "");
  EXPECT_EQ(p.Bytes(),
            "; written by hand\r\n"
            "[INFO]\r\n"
            "Info1 = new one\r\n"
            "Unknown=keep me\r\n"
            "Info2=added\r\n"
            "\r\n"
            "[Mine]\n"
            "mixed=\n"
            "[info]\r\n"
            "Info1=second section of the same name\r\n");
  EXPECT_EQ(p.Get("INFO", "Info1"), "new one");

  // A section that is missing goes at the end, also after a last line without a line end.
  ProfileFile q("[A]\nx=1");
  q.Set("B", "y", "2");
  q.Set("A", "z", "3");
  EXPECT_EQ(q.Bytes(), "[A]\nx=1\nz=3\n[B]\ny=2\n");

  // A value is one line: line breaks cannot smuggle keys into the file.
  ProfileFile r;
  r.Set("S", "k", "one\r\n[T]\nx=2");
  EXPECT_EQ(r.Get("T", "x", "none"), "none");
  EXPECT_EQ(r.Get("S", "k"), "one  [T] x=2");
}

// A new file gets its sections and keys in the order they were set, with CRLF line ends.
TEST(ProfileFileWrite, NewFileInTheOrderSet) {
  TempFolder folder;
  const std::filesystem::path file = folder / "new.conf";
  ProfileFile p = ProfileFile::Load(file);
  p.Set("TEST CONDITIONS", "Test medium", "Air");
  p.Set("TEST CONDITIONS", "Ambient humidity", "");
  p.Set("INSPECTOR", "Inspector", "J. Doe");
  p.Set("TEST CONDITIONS", "Volumetric flow", "1 l/min");
  ASSERT_TRUE(p.Save(file));
  EXPECT_EQ(FileText(file),
            "[TEST CONDITIONS]\r\nTest medium=Air\r\nAmbient humidity=\r\n"
            "Volumetric flow=1 l/min\r\n[INSPECTOR]\r\nInspector=J. Doe\r\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "new.conf.tmp"));

  // A file that cannot be written reports it and leaves nothing behind.
  EXPECT_FALSE(p.Save(folder / "no such folder" / "x.conf"));
  EXPECT_FALSE(std::filesystem::exists(folder / "no such folder"));
}

// Whatever a file holds, reading it never crashes, and what can be found is found.
TEST(ProfileFileHostile, ReadsWithoutACrash) {
  TempFolder folder;
  std::mt19937 random(15);
  std::string binary;
  for (int i = 0; i < 64 * 1024; ++i) binary += static_cast<char>(random() & 0xFF);
  WriteText(folder / "binary.conf", binary + "\n[S]\nk=found\n");
  EXPECT_EQ(ProfileFile::Load(folder / "binary.conf").Get("S", "k"), "found");

  std::string huge = "[S]\nbig=" + std::string(10 * 1024 * 1024, 'y') + "\nk=after";
  WriteText(folder / "huge.conf", huge);
  const ProfileFile h = ProfileFile::Load(folder / "huge.conf");
  EXPECT_EQ(h.Get("S", "big"), std::string(259, 'y'));
  EXPECT_EQ(h.Get("S", "k"), "after");  // no line end after the last line

  const ProfileFile odd("k=0\n[\n]\n[S\nk=open section\n=no name\n\xff\n[S]]" +
                        std::string(1, '\0') + "=z\n");
  EXPECT_EQ(odd.Get("S", "k"), "open section");
  EXPECT_EQ(odd.Get("", "k", "d"), "d");

  // Every byte value as a lone line; a byte order mark before the first section.
  std::string all;
  for (int b = 0; b < 256; ++b) all += std::string(1, static_cast<char>(b)) + "\n";
  EXPECT_EQ(ProfileFile(all + "[S]\nk=last\n").Get("S", "k"), "last");
  EXPECT_EQ(ProfileFile("\xEF\xBB\xBF[B]\r\nk=bom\r\n").Get("B", "k"), "bom");
}

}  // namespace
}  // namespace korvin
