#include "reports/certificate_template.h"

#include "platform/profile_file.h"

namespace korvin {

namespace {

constexpr char kBlank = ' ';
constexpr char kBlankCode = '$';
// Only leading blanks among the first eight characters are coded.
constexpr size_t kCodedPrefix = 8;

std::string Recode(std::string_view value, char from, char to) {
  std::string out(value);
  for (size_t i = 0; i < out.size() && i < kCodedPrefix && out[i] == from; ++i) out[i] = to;
  return out;
}

}  // namespace

bool IsStandardTemplate(const std::filesystem::path& file) {
  return file.filename() == kStandardTemplateName;
}

std::string EncodeLeadingBlanks(std::string_view value) {
  return Recode(value, kBlank, kBlankCode);
}

std::string DecodeLeadingBlanks(std::string_view value) {
  return Recode(value, kBlankCode, kBlank);
}

TemplateValues ReadTemplateFile(const std::filesystem::path& file) {
  const ProfileFile profile = ProfileFile::Load(file);
  TemplateValues values;
  for (size_t i = 0; i < kTemplateKeys.size(); ++i) {
    const TemplateKey& k = kTemplateKeys[i];
    values[i] = profile.Get(k.section, k.key);
    if (k.blankCoded) values[i] = DecodeLeadingBlanks(values[i]);
  }
  return values;
}

bool WriteTemplateFile(const std::filesystem::path& file, const TemplateValues& values) {
  ProfileFile profile = ProfileFile::Load(file);
  for (size_t i = 0; i < kTemplateKeys.size(); ++i) {
    const TemplateKey& k = kTemplateKeys[i];
    profile.Set(k.section, k.key, k.blankCoded ? EncodeLeadingBlanks(values[i]) : values[i]);
  }
  return profile.Save(file);
}

LoadedTemplate LoadCertificateTemplate(DialogHost& host, const std::filesystem::path& folder) {
  FileChooserSpec chooser{
      FileChooserSpec::Mode::kOpen, kOpenTemplateTitle, kOpenTemplateFilter, kTemplatePattern, {}};
  chooser.folder = folder;
  LoadedTemplate loaded;
  const std::optional<std::filesystem::path> file = host.ChooseFile(chooser);
  if (!file) return loaded;
  loaded.path = *file;
  loaded.standard = IsStandardTemplate(*file);
  loaded.values = ReadTemplateFile(*file);
  return loaded;
}

std::optional<SavedTemplate> SaveCertificateTemplate(DialogHost& host,
                                                     const TemplateValues& values) {
  const FileChooserSpec chooser{FileChooserSpec::Mode::kSave, kSaveTemplateTitle,
                                kSaveTemplateFilter, kTemplatePattern, kTemplateSuffix};
  const std::optional<std::filesystem::path> file = host.ChooseFile(chooser);
  if (!file) return std::nullopt;
  return SavedTemplate{*file, WriteTemplateFile(*file, values)};
}

}  // namespace korvin
