#include "vexmar/workbook/ooxml/opc_package.hpp"

#include <algorithm>
#include <string>

#include "vexmar/workbook/containers/zip_name.hpp"
#include "vexmar/workbook/containers/zip_xml_part.hpp"
#include "vexmar/workbook/failure_kind.hpp"

namespace vexmar::workbook {
namespace {

constexpr std::string_view kRelationshipsNs =
    "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr std::string_view kContentTypesNs =
    "http://schemas.openxmlformats.org/package/2006/content-types";
constexpr std::size_t kMaxWorkbookClaims = 64;

char Lower(char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string LowerCopy(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), Lower);
  return out;
}

int HexValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  c = Lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int hi = HexValue(text[i + 1]);
      const int lo = HexValue(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}


class RelationshipsHandler final : public XmlHandler {
 public:
  explicit RelationshipsHandler(const std::function<bool(const Relationship&)>& visit)
      : visit_(visit) {}

  bool StartElement(const XmlName& name, const XmlAttributes& attributes,
                    std::size_t depth) override {
    if (depth != 2 || !name.Is(kRelationshipsNs, "Relationship")) return true;
    const char* id = attributes.Find({}, "Id");
    const char* type = attributes.Find({}, "Type");
    const char* target = attributes.Find({}, "Target");
    const char* mode = attributes.Find({}, "TargetMode");
    if (id == nullptr || type == nullptr || target == nullptr) return true;
    return visit_({id, type, target, mode != nullptr && EqualsIgnoreCase(mode, "External")});
  }
  bool EndElement(const XmlName&, std::size_t) override { return true; }

 private:
  const std::function<bool(const Relationship&)>& visit_;
};

bool EndsWithWorkbookExtension(std::string_view part, const std::vector<std::string>& extensions) {
  const std::size_t dot = part.rfind('.');
  if (dot == std::string_view::npos || part.find_first_of("/\\", dot) != std::string_view::npos) {
    return false;
  }
  const std::string ext = LowerCopy(part.substr(dot + 1));
  return std::find(extensions.begin(), extensions.end(), ext) != extensions.end();
}

class ContentTypesHandler final : public XmlHandler {
 public:
  ContentTypesHandler(std::string& first_part, std::vector<std::string>& extensions,
                      std::vector<std::string>& overrides)
      : first_part_(first_part), extensions_(extensions), overrides_(overrides) {}

  bool StartElement(const XmlName& name, const XmlAttributes& attributes,
                    std::size_t depth) override {
    if (depth != 2 || !name.InNamespace(kContentTypesNs)) return true;
    const char* type = attributes.Find({}, "ContentType");
    if (type == nullptr || !IsWorkbookContentType(type)) return true;
    if (extensions_.size() + overrides_.size() >= kMaxWorkbookClaims) {
      RaiseFailure(FailureKind::kTooManyWorkbookDeclarations);
    }
    if (name.HasLocal("Override")) {
      if (const char* part = attributes.Find({}, "PartName")) {
        overrides_.push_back(ResolveTarget("", part));
        if (first_part_.empty()) first_part_ = overrides_.back();
      }
    } else if (name.HasLocal("Default")) {
      if (const char* ext = attributes.Find({}, "Extension")) extensions_.push_back(LowerCopy(ext));
    }
    return true;
  }
  bool EndElement(const XmlName&, std::size_t) override { return true; }

 private:
  std::string& first_part_;
  std::vector<std::string>& extensions_;
  std::vector<std::string>& overrides_;
};

}  // namespace

bool ReadRelationships(ZipArchive& zip, std::string_view rels_part,
                       const std::function<bool(const Relationship&)>& visit) {
  const std::optional<ZipEntry> entry = zip.Find(rels_part);
  if (!entry) return false;
  RelationshipsHandler handler(visit);
  XmlStreamParser parser(handler);
  ParsePartXml(zip, *entry, parser);
  return true;
}

namespace {
// Some writers separate zip entry names with "\"; a part's folder ends at either.
std::size_t FolderEnd(std::string_view part) noexcept { return part.find_last_of("/\\"); }
}  // namespace

std::string RelationshipsPartName(std::string_view source_part) {
  const std::size_t slash = FolderEnd(source_part);
  const std::string_view dir =
      slash == std::string_view::npos ? std::string_view{} : source_part.substr(0, slash + 1);
  const std::string_view file =
      slash == std::string_view::npos ? source_part : source_part.substr(slash + 1);
  return std::string(dir) + "_rels/" + std::string(file) + ".rels";
}

// A plain relative path: nothing to decode or normalise.
bool IsPlainRelative(std::string_view target) noexcept {
  if (target.empty() || target.front() == '/' || target.front() == '.' || target.back() == '/') {
    return false;
  }
  // One pass (every sheet's target comes here): none of "%\\?#:", no "/." and no "//".
  char previous = 0;
  for (const char c : target) {
    if (c == '%' || c == '\\' || c == '?' || c == '#' || c == ':') return false;
    if (previous == '/' && (c == '.' || c == '/')) return false;
    previous = c;
  }
  return true;
}

std::string ResolveTarget(std::string_view source_part, std::string_view target) {
  if (IsPlainRelative(target)) {
    const std::size_t slash = FolderEnd(source_part);
    std::string out(slash == std::string_view::npos ? std::string_view{}
                                                    : source_part.substr(0, slash + 1));
    out += target;
    return out;
  }
  // Anything with a scheme points outside the package.
  const std::size_t colon = target.find(':');
  if (colon != std::string_view::npos && target.find('/') > colon) return {};
  const std::size_t cut = target.find_first_of("#?");
  if (cut != std::string_view::npos) target = target.substr(0, cut);
  std::string joined;
  if (!target.empty() && (target.front() == '/' || target.front() == '\\')) {
    joined = std::string(target);
  } else {
    const std::size_t slash = FolderEnd(source_part);
    if (slash != std::string_view::npos) joined = std::string(source_part.substr(0, slash + 1));
    joined += target;
  }
  const std::string decoded = PercentDecode(joined);
  std::vector<std::string_view> segments;
  std::string_view rest(decoded);
  while (!rest.empty()) {
    const std::size_t sep = rest.find_first_of("/\\");
    const std::string_view segment = rest.substr(0, sep);
    rest = sep == std::string_view::npos ? std::string_view{} : rest.substr(sep + 1);
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") {
      if (segments.empty()) return {};
      segments.pop_back();
      continue;
    }
    segments.push_back(segment);
  }
  std::string out;
  for (const std::string_view segment : segments) {
    if (!out.empty()) out.push_back('/');
    out.append(segment);
  }
  return out;
}

bool SameRelationshipType(std::string_view a, std::string_view b) noexcept {
  return a == b || EqualsIgnoreCase(a, b);
}

bool IsOfficeDocumentRelationship(std::string_view type) noexcept {
  return SameRelationshipType(type,
                              "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                              "officeDocument") ||
         SameRelationshipType(
             type, "http://purl.oclc.org/ooxml/officeDocument/relationships/officeDocument");
}

bool IsWorksheetRelationship(std::string_view type) noexcept {
  return SameRelationshipType(
             type,
             "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet") ||
         SameRelationshipType(type,
                              "http://purl.oclc.org/ooxml/officeDocument/relationships/worksheet");
}

bool IsWorkbookContentType(std::string_view content_type) noexcept {
  static constexpr std::string_view kTypes[] = {
      "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
      "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml",
      "application/vnd.ms-excel.sheet.macroEnabled.main+xml",
      "application/vnd.ms-excel.template.macroEnabled.main+xml",
      "application/vnd.ms-excel.addin.macroEnabled.main+xml",
      "application/vnd.ms-excel.sheet.binary.macroEnabled.main",
  };
  const std::size_t semicolon = content_type.find(';');
  if (semicolon != std::string_view::npos) content_type = content_type.substr(0, semicolon);
  while (!content_type.empty() && content_type.back() == ' ') content_type.remove_suffix(1);
  return std::any_of(std::begin(kTypes), std::end(kTypes),
                     [&](std::string_view t) { return EqualsIgnoreCase(t, content_type); });
}

std::optional<ContentTypes> ContentTypes::Read(ZipArchive& zip) {
  const std::optional<ZipEntry> entry = zip.Find("[Content_Types].xml");
  if (!entry) return std::nullopt;
  ContentTypes types;
  ContentTypesHandler handler(types.workbook_part_, types.workbook_extensions_,
                              types.workbook_overrides_);
  XmlStreamParser parser(handler);
  ParsePartXml(zip, *entry, parser);
  return types;
}

bool ContentTypes::ClaimsWorkbook(std::string_view part) const {
  return std::any_of(workbook_overrides_.begin(), workbook_overrides_.end(),
                     [&](const std::string& p) { return PartNamesEqual(p, part); }) ||
         EndsWithWorkbookExtension(part, workbook_extensions_);
}

}  // namespace vexmar::workbook
