#pragma once
// The packaging layer of Office Open XML: relationship parts, part names resolved from
// relationship targets, and the content-type table.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vexmar/workbook/containers/zip_archive.hpp"

namespace vexmar::workbook {

struct Relationship {
  std::string_view id;
  std::string_view type;
  std::string_view target;
  bool external = false;
};

// Reads the relationships part `rels_part`, calling `visit` for every relationship in
// document order until it returns false. Returns false when the part does not exist;
// malformed XML is damage.
bool ReadRelationships(ZipArchive& zip, std::string_view rels_part,
                       const std::function<bool(const Relationship&)>& visit);

// "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels"; the package itself ("") -> "_rels/.rels".
std::string RelationshipsPartName(std::string_view source_part);

// The part a relative or absolute target of `source_part` names: percent-decoded, with
// "." and ".." resolved and no leading "/". Empty when it leaves the package.
std::string ResolveTarget(std::string_view source_part, std::string_view target);

// Relationship types compare ASCII-case-insensitively.
bool SameRelationshipType(std::string_view a, std::string_view b) noexcept;
bool IsOfficeDocumentRelationship(std::string_view type) noexcept;
bool IsWorksheetRelationship(std::string_view type) noexcept;

// The content types of the main part of a workbook (.xlsx, .xlsm, .xltx, .xltm, .xlam, .xlsb).
bool IsWorkbookContentType(std::string_view content_type) noexcept;

// The package's content-type table, read only when the relationships do not lead to
// the workbook part.
class ContentTypes {
 public:
  // std::nullopt when the package has no [Content_Types].xml.
  static std::optional<ContentTypes> Read(ZipArchive& zip);
  // The first part whose overriding content type is a workbook's, or empty.
  const std::string& WorkbookPart() const noexcept { return workbook_part_; }
  // Whether the table declares `part` (by override or by extension) as a workbook.
  bool ClaimsWorkbook(std::string_view part) const;

 private:
  std::string workbook_part_;
  std::vector<std::string> workbook_extensions_;  // lower-case, from Default entries
  std::vector<std::string> workbook_overrides_;
};

}  // namespace vexmar::workbook
