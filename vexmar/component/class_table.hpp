#pragma once
// The host-facing contract in one place: the library identity, the six classes with
// their ProgIDs, CLSIDs and interface IIDs, and every member entry in interface order
// with its kind, name, dispatch id, parameters and result. The late-binding layer, the
// Windows type library and the reference documentation all derive from this table.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "vexmar/component/guid.hpp"

// Namespace contract: the table is the host-facing contract. Its name is part of
// exported signatures (dispatch::CoerceTo), so it stays until the next major version.
namespace vexmar::contract {

enum class MemberKind { kMethod, kPropertyGet, kPropertyPut, kPropertyPutRef };
enum class ValueType { kNone, kString, kInt32, kFloat32, kBool16, kStringList, kCollection };
enum class Direction { kIn, kInOut };

struct Parameter {
  std::string_view name;  // empty for the value of a property write
  ValueType type;
  Direction direction;
};

struct Member {
  MemberKind kind;
  std::string_view name;
  std::int32_t dispid;
  std::span<const Parameter> parameters;
  ValueType result;
  std::u16string_view help;  // type-library help string, empty for none
};

struct ClassInfo {
  std::string_view name;          // ClsRepeatName
  std::string_view interface_name;  // _ClsRepeatName
  std::string_view prog_id;       // VexmarExt.ClsRepeatName
  Guid clsid;
  Guid iid;
  std::string_view iid_resource;  // _IID_CLSREPEATNAME
  std::span<const Member> members;
};

struct LibraryInfo {
  std::string_view name;
  Guid libid;
  std::uint16_t major;
  std::uint16_t minor;
  std::uint32_t lcid;
};

inline constexpr LibraryInfo kLibrary{"VexmarExt", MakeGuid("{1DDDD776-D55E-4101-A7FB-FCDAE7C5771B}"),
                                      1, 1, 0};

namespace detail {
using enum MemberKind;
using enum ValueType;
using enum Direction;

inline constexpr Parameter kStringIn[] = {{"", kString, kIn}};
inline constexpr Parameter kFloatIn[] = {{"", kFloat32, kIn}};
inline constexpr Parameter kCollectionIn[] = {{"", kCollection, kIn}};

inline constexpr Parameter kGetFileNames[] = {{"strRule", kString, kIn},
                                              {"strFileNames", kStringList, kInOut},
                                              {"strTestPath", kString, kIn}};
inline constexpr Parameter kGetRuleItem[] = {{"strRule", kString, kIn},
                                             {"strErrMsg", kString, kInOut},
                                             {"sngWeight", kFloat32, kInOut}};
inline constexpr Parameter kChangeRuleFileName[] = {{"strRule", kString, kIn},
                                                    {"strFileName", kString, kIn}};
inline constexpr Parameter kParseRule[] = {{"strErrMsg", kString, kInOut}};
inline constexpr Parameter kMatchString[] = {{"strSource", kString, kIn},
                                             {"strFind", kString, kIn},
                                             {"nStart", kInt32, kIn},
                                             {"nLength", kInt32, kInOut}};

inline constexpr Member kRepeatNameMembers[] = {
    {kMethod, "GetFileNames", 0x60030000, kGetFileNames, kInt32, u""},
    {kMethod, "GetRuleItem", 0x60030003, kGetRuleItem, kBool16, u""},
    {kMethod, "ChangeRuleFileName", 0x60030004, kChangeRuleFileName, kString, u""},
};

inline constexpr std::u16string_view kHelpCurScore = u"当前已得分的权值";
inline constexpr std::u16string_view kHelpTotalScore = u"约定总权值";
inline constexpr std::u16string_view kHelpErrMsg = u"评分过程中错误信息";
inline constexpr std::u16string_view kHelpErrMsgXml = u"Xml格式的错误信息";

inline constexpr Member kScoreStateMembers[] = {
    {kPropertyPut, "CurScore", 0x68030003, kFloatIn, kNone, kHelpCurScore},
    {kPropertyGet, "CurScore", 0x68030003, {}, kFloat32, kHelpCurScore},
    {kPropertyPut, "TotalScore", 0x68030002, kFloatIn, kNone, kHelpTotalScore},
    {kPropertyGet, "TotalScore", 0x68030002, {}, kFloat32, kHelpTotalScore},
    {kPropertyPut, "ErrMsg", 0x68030001, kStringIn, kNone, kHelpErrMsg},
    {kPropertyGet, "ErrMsg", 0x68030001, {}, kString, kHelpErrMsg},
    {kPropertyPut, "ErrMsgXml", 0x68030000, kStringIn, kNone, kHelpErrMsgXml},
    {kPropertyGet, "ErrMsgXml", 0x68030000, {}, kString, kHelpErrMsgXml},
};

inline constexpr Member kMultiFilesMembers[] = {
    {kPropertyGet, "Rules", 0x68030002, {}, kString, u""},
    {kPropertyPut, "Rules", 0x68030002, kStringIn, kNone, u""},
    {kPropertyGet, "TestPath", 0x68030001, {}, kString, u""},
    {kPropertyPut, "TestPath", 0x68030001, kStringIn, kNone, u""},
    {kMethod, "ParseRules", 0x60030004, {}, kInt32, u""},
    {kPropertyGet, "FilesName", 0x68030000, {}, kCollection, u""},
    {kPropertyPutRef, "FilesName", 0x68030000, kCollectionIn, kNone, u""},
};

inline constexpr Member kMultiSheetsMembers[] = {
    {kPropertyGet, "Rule", 0x68030005, {}, kString, u""},
    {kPropertyPut, "Rule", 0x68030005, kStringIn, kNone, u""},
    {kMethod, "ParseRule", 0x60030006, kParseRule, kBool16, u""},
    {kPropertyGet, "ErrMsg", 0x68030004, {}, kString, u""},
    {kPropertyPut, "ErrMsg", 0x68030004, kStringIn, kNone, u""},
    {kPropertyGet, "TestPath", 0x68030003, {}, kString, u""},
    {kPropertyPut, "TestPath", 0x68030003, kStringIn, kNone, u""},
    {kPropertyGet, "FileName", 0x68030002, {}, kString, u""},
    {kPropertyPut, "FileName", 0x68030002, kStringIn, kNone, u""},
    {kPropertyGet, "Weight", 0x68030001, {}, kFloat32, u""},
    {kPropertyPut, "Weight", 0x68030001, kFloatIn, kNone, u""},
    {kPropertyGet, "PingRules", 0x68030000, {}, kCollection, u""},
    {kPropertyPutRef, "PingRules", 0x68030000, kCollectionIn, kNone, u""},
};

inline constexpr Member kTestMembers[] = {
    {kMethod, "Test", 0x60030000, {}, kNone, u""},
};

inline constexpr Member kPatternMatchStrMembers[] = {
    {kMethod, "MatchString", 0x60030000, kMatchString, kInt32, u""},
};
}  // namespace detail

// The classes in type-library order.
inline constexpr std::array<ClassInfo, 6> kClasses{{
    {"ClsRepeatName", "_ClsRepeatName", "VexmarExt.ClsRepeatName",
     MakeGuid("{29FEB8DF-FC7B-4092-8D56-3C1FAAA345B5}"),
     MakeGuid("{38271DF2-DE89-4775-878C-8EEDDFEFD3E4}"), "_IID_CLSREPEATNAME",
     detail::kRepeatNameMembers},
    {"ClsScoreState", "_ClsScoreState", "VexmarExt.ClsScoreState",
     MakeGuid("{ECB13ECB-FB69-4E2B-9D67-9CBA5FE8AA6F}"),
     MakeGuid("{9CAD76E6-2DFC-4709-ACDB-ECED8E5147D4}"), "_IID_CLSSCORESTATE",
     detail::kScoreStateMembers},
    {"ClsExcelMultiFiles", "_ClsExcelMultiFiles", "VexmarExt.ClsExcelMultiFiles",
     MakeGuid("{38701896-7BED-4E11-8E1F-AEF0F726AF2A}"),
     MakeGuid("{94DE3818-7008-4184-BE0B-0110BA941D98}"), "_IID_CLSEXCELMULTIFILES",
     detail::kMultiFilesMembers},
    {"ClsExcelMultiSheets", "_ClsExcelMultiSheets", "VexmarExt.ClsExcelMultiSheets",
     MakeGuid("{E07F6A27-C7A8-4836-9883-BBE9DAB4652D}"),
     MakeGuid("{C724E62E-3600-43FF-A8A1-527B536D3C4D}"), "_IID_CLSEXCELMULTISHEETS",
     detail::kMultiSheetsMembers},
    {"ClsTest", "_ClsTest", "VexmarExt.ClsTest", MakeGuid("{FDA99C6B-3DFB-439C-A6A6-50E6A75AFD3A}"),
     MakeGuid("{098D87DB-2A02-4E7D-A815-CC8DB35FD6CC}"), "_IID_CLSTEST", detail::kTestMembers},
    {"ClsPatternMatchStr", "_ClsPatternMatchStr", "VexmarExt.ClsPatternMatchStr",
     MakeGuid("{C670563E-A127-465D-BF49-DA8527C0A50D}"),
     MakeGuid("{FCACF77E-7AF4-45E4-BEA0-C1C424AD5BF5}"), "_IID_CLSPATTERNMATCHSTR",
     detail::kPatternMatchStrMembers},
}};

// A type library that the library's own imports; it is found by LIBID, version and LCID
// on the machine, `file` is only the name the import is recorded under.
struct ImportedLibrary {
  std::string_view file;
  Guid libid;
  std::uint16_t major;
  std::uint16_t minor;
  std::uint32_t lcid;
  std::string_view used_for;
};

inline constexpr Guid kStdOle2 = MakeGuid("{00020430-0000-0000-C000-000000000046}");
// The platform runtime's automation library, which describes the ordered collection.
inline constexpr Guid kCollectionTypeLib = MakeGuid("{000204EF-0000-0000-C000-000000000046}");

inline constexpr std::array<ImportedLibrary, 2> kImportedLibraries{{
    {"stdole2.tlb", kStdOle2, 2, 0, 0, "IDispatch"},
    {"CollectionLibrary.tlb", kCollectionTypeLib, 5, 0, 9, "_Collection"},
}};
inline constexpr const ImportedLibrary& kCollectionLibrary = kImportedLibraries[1];

// The COM type of every collection value: a dispatch interface of the imported
// collection library. Collection objects of this library answer QueryInterface for it
// and serve its members by these dispatch ids.
inline constexpr std::string_view kCollectionInterface = "_Collection";
inline constexpr Guid kCollectionIid = MakeGuid("{A4C46780-499F-101B-BB78-00AA00383CBB}");

struct CollectionMemberId {
  std::string_view name;
  std::int32_t dispid;
};
inline constexpr CollectionMemberId kCollectionItem{"Item", 0};  // the default member
inline constexpr CollectionMemberId kCollectionAdd{"Add", 1};
inline constexpr CollectionMemberId kCollectionCount{"Count", 2};
inline constexpr CollectionMemberId kCollectionRemove{"Remove", 3};
inline constexpr CollectionMemberId kCollectionNewEnum{"_NewEnum", -4};
inline constexpr std::array<CollectionMemberId, 5> kCollectionMembers{
    {kCollectionItem, kCollectionAdd, kCollectionCount, kCollectionRemove, kCollectionNewEnum}};

}  // namespace vexmar::contract
