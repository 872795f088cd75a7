#include "vexmar/workbook/ooxml/ooxml_workbook.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/containers/zip_part_limit.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/ooxml/opc_package.hpp"
#include "vexmar/workbook/ooxml/package_sheet.hpp"
#include "vexmar/workbook/ooxml/xlsb_records.hpp"
#include "vexmar/workbook/sheet_limits.hpp"
#include "vexmar/workbook/xml/xml_stream.hpp"

namespace vexmar::workbook {
namespace {

constexpr std::string_view kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kStrictMainNs = "http://purl.oclc.org/ooxml/spreadsheetml/main";
constexpr std::string_view kRelNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view kStrictRelNs = "http://purl.oclc.org/ooxml/officeDocument/relationships";

bool IsMain(const XmlName& name, std::string_view local) noexcept {
  return name.Is(kMainNs, local) || name.Is(kStrictMainNs, local);
}

std::u16string Label(std::string_view part) { return Utf8ToUtf16Escaped(part); }

// Collects <workbook><sheets><sheet name=".." r:id=".."/></sheets> and stops after </sheets>.
class WorkbookHandler final : public XmlHandler {
 public:
  bool StartElement(const XmlName& name, const XmlAttributes& attributes,
                    std::size_t depth) override {
    if (depth == 1) {
      is_workbook_ = IsMain(name, "workbook");
      return is_workbook_;
    }
    if (depth == 2 && IsMain(name, "sheets")) {
      in_sheets_ = true;
      saw_sheets_ = true;
    } else if (depth == 3 && in_sheets_ && IsMain(name, "sheet")) {
      const char* sheet_name = attributes.Find({}, "name");
      const char* id = attributes.Find(kRelNs, "id");
      if (id == nullptr) id = attributes.Find(kStrictRelNs, "id");
      if (sheet_name == nullptr) RaiseFailure(FailureKind::kWorkbookSheetWithoutName);
      if (id == nullptr) RaiseFailure(FailureKind::kWorkbookSheetWithoutRelationshipId);
      if (std::strlen(id) > kMaxRelationshipIdBytes)
        RaiseFailure(FailureKind::kRelationshipIdTooLong);
      sheets_.push_back({tally_.Decode(sheet_name), id});
    }
    return true;
  }
  bool EndElement(const XmlName&, std::size_t depth) override {
    if (depth == 2 && in_sheets_) return false;  // the sheet list is complete
    return true;
  }

  bool is_workbook_ = false;
  bool saw_sheets_ = false;
  std::vector<PackageSheet> sheets_;

 private:
  bool in_sheets_ = false;
  SheetNameTally tally_;
};

// Serves a few bytes already read, then the rest of the stream.
class PrefixedStream final : public ByteStream {
 public:
  PrefixedStream(std::span<const std::byte> prefix, ByteStream& rest)
      : prefix_(prefix.begin(), prefix.end()), rest_(rest) {}
  std::size_t Read(std::span<std::byte> out) override {
    if (position_ < prefix_.size()) {
      const std::size_t n = std::min(out.size(), prefix_.size() - position_);
      std::copy_n(prefix_.data() + position_, n, out.data());
      position_ += n;
      return n;
    }
    return rest_.Read(out);
  }

 private:
  std::vector<std::byte> prefix_;
  std::size_t position_ = 0;
  ByteStream& rest_;
};

// Reads the sheet list of the workbook part, binary or XML as its content shows.
// std::nullopt when the part is not a workbook at all.
std::optional<std::vector<PackageSheet>> ReadSheetList(ZipArchive& zip, const ZipEntry& entry) {
  const std::unique_ptr<ByteStream> inflated = zip.Open(entry);
  PartReadLimit limited(*inflated, entry.name);
  ByteStream* raw = &limited;
  std::array<std::byte, 4> head{};
  std::size_t got = 0;
  while (got < head.size()) {
    const std::size_t n = raw->Read(std::span(head).subspan(got));
    if (n == 0) break;
    got += n;
  }
  PrefixedStream stream(std::span(head.data(), got), *raw);
  if (LooksLikeXlsbWorkbook(std::span(head.data(), got))) return ReadXlsbSheets(stream);

  WorkbookHandler handler;
  XmlStreamParser parser(handler);
  const XmlOutcome outcome = parser.Parse(stream);
  if (outcome == XmlOutcome::kDoctype) {
    RaiseFailure(FailureKind::kPartHasDoctype, Label(entry.name));
  }
  if (outcome == XmlOutcome::kMalformed) {
    RaiseMalformedXml(parser, FailureKind::kPartMalformedXml, Label(entry.name));
  }
  if (!handler.is_workbook_) return std::nullopt;
  if (!handler.saw_sheets_) RaiseFailure(FailureKind::kWorkbookWithoutSheetList);
  return std::move(handler.sheets_);
}

// The package's workbook part: the target of the officeDocument relationship, or,
// without one, the part the content-type table declares a workbook.
std::string FindWorkbookPart(ZipArchive& zip, std::optional<ContentTypes>& types) {
  std::string part;
  ReadRelationships(zip, "_rels/.rels", [&](const Relationship& rel) {
    if (!rel.external && IsOfficeDocumentRelationship(rel.type)) {
      part = ResolveTarget("", rel.target);
      return false;
    }
    return true;
  });
  if (part.empty()) {
    types = ContentTypes::Read(zip);
    if (types) part = types->WorkbookPart();
  }
  return part;
}

}  // namespace

std::optional<std::vector<std::u16string>> ListPackageWorksheets(ZipArchive& zip) {
  std::optional<ContentTypes> types;
  const std::string workbook_part = FindWorkbookPart(zip, types);
  if (workbook_part.empty()) return std::nullopt;
  const std::optional<ZipEntry> entry = zip.Find(workbook_part);
  if (!entry) {
    if (!types) types = ContentTypes::Read(zip);
    if (types && (types->ClaimsWorkbook(workbook_part) || !types->WorkbookPart().empty())) {
      RaiseFailure(FailureKind::kWorkbookPartMissing, Label(workbook_part));
    }
    return std::nullopt;
  }
  std::optional<std::vector<PackageSheet>> sheets = ReadSheetList(zip, *entry);
  if (!sheets) return std::nullopt;
  std::vector<std::u16string> names;
  if (sheets->empty()) return names;

  // Each sheet's kind comes from the type of its relationship, never from its name.
  // Relationship ids are looked up in a sorted table of the sheets' ids.
  enum class Kind : std::uint8_t { kUnknown, kWorksheet, kOther };
  struct Slot {
    std::string_view id;
    Kind kind;
  };
  std::vector<Slot> slots;
  slots.reserve(sheets->size());
  for (const PackageSheet& sheet : *sheets)
    slots.push_back({sheet.relationship_id, Kind::kUnknown});
  const auto by_id = [](const Slot& a, const Slot& b) { return a.id < b.id; };
  std::sort(slots.begin(), slots.end(), by_id);
  slots.erase(std::unique(slots.begin(), slots.end(),
                          [](const Slot& a, const Slot& b) { return a.id == b.id; }),
              slots.end());
  const auto find = [&](std::string_view id) -> Slot* {
    const auto it = std::lower_bound(slots.begin(), slots.end(), Slot{id, Kind::kUnknown}, by_id);
    return it != slots.end() && it->id == id ? &*it : nullptr;
  };
  std::size_t unknown = slots.size();
  std::string part;
  const std::string rels_part = RelationshipsPartName(entry->name);
  const bool has_rels = ReadRelationships(zip, rels_part, [&](const Relationship& rel) {
    Slot* slot = find(rel.id);
    if (slot == nullptr || slot->kind != Kind::kUnknown) return true;
    slot->kind = IsWorksheetRelationship(rel.type) ? Kind::kWorksheet : Kind::kOther;
    if (slot->kind == Kind::kWorksheet && !rel.external) {
      part = ResolveTarget(entry->name, rel.target);
      if (!zip.Contains(part)) RaiseFailure(FailureKind::kSheetPartMissing, Label(part));
    }
    return --unknown > 0;  // the rest of the part names nothing we list
  });
  if (!has_rels) RaiseFailure(FailureKind::kWorkbookRelationshipsMissing, Label(rels_part));
  for (PackageSheet& sheet : *sheets) {
    const Slot* slot = find(sheet.relationship_id);
    if (slot == nullptr || slot->kind == Kind::kUnknown) {
      RaiseFailure(FailureKind::kSheetRelationshipMissing, sheet.name);
    }
    if (slot->kind == Kind::kWorksheet) names.push_back(std::move(sheet.name));
  }
  return names;
}

}  // namespace vexmar::workbook
