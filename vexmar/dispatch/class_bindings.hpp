#pragma once
// The six classes of the contract bound to their C++ implementations. Names, dispatch
// ids, kinds and signatures come from the class table; each entry below only names
// the C++ member that serves a (kind, name) of the table. binding_check.hpp holds the
// comparison that keeps the two in step.
#include "vexmar/component/score_state.hpp"
#include "vexmar/dispatch/bound_class.hpp"
#include "vexmar/dispatch/member_binding.hpp"
#include "vexmar/multifile/excel_multi_files.hpp"
#include "vexmar/names/repeat_name.hpp"
#include "vexmar/sheets/excel_multi_sheets.hpp"
#include "vexmar/text/matcher_classes.hpp"

namespace vexmar::dispatch {

namespace bindings {
inline constexpr BoundMember kRepeatName[] = {
    Method<&ClsRepeatName::GetFileNames>("GetFileNames"),
    Method<&ClsRepeatName::GetRuleItem>("GetRuleItem"),
    Method<&ClsRepeatName::ChangeRuleFileName>("ChangeRuleFileName"),
};

inline constexpr BoundMember kScoreState[] = {
    Put<&ClsScoreState::SetCurScore>("CurScore"),     Get<&ClsScoreState::CurScore>("CurScore"),
    Put<&ClsScoreState::SetTotalScore>("TotalScore"), Get<&ClsScoreState::TotalScore>("TotalScore"),
    Put<&ClsScoreState::SetErrMsg>("ErrMsg"),         Get<&ClsScoreState::ErrMsg>("ErrMsg"),
    Put<&ClsScoreState::SetErrMsgXml>("ErrMsgXml"),   Get<&ClsScoreState::ErrMsgXml>("ErrMsgXml"),
};

inline constexpr BoundMember kExcelMultiFiles[] = {
    Get<&ClsExcelMultiFiles::Rules>("Rules"),
    Put<&ClsExcelMultiFiles::SetRules>("Rules"),
    Get<&ClsExcelMultiFiles::TestPath>("TestPath"),
    Put<&ClsExcelMultiFiles::SetTestPath>("TestPath"),
    Method<&ClsExcelMultiFiles::ParseRules>("ParseRules"),
    Get<&ClsExcelMultiFiles::FilesName>("FilesName"),
    PutRef<&ClsExcelMultiFiles::SetFilesName>("FilesName"),
};

inline constexpr BoundMember kExcelMultiSheets[] = {
    Get<&ClsExcelMultiSheets::Rule>("Rule"),
    Put<&ClsExcelMultiSheets::SetRule>("Rule"),
    Method<&ClsExcelMultiSheets::ParseRule>("ParseRule"),
    Get<&ClsExcelMultiSheets::ErrMsg>("ErrMsg"),
    Put<&ClsExcelMultiSheets::SetErrMsg>("ErrMsg"),
    Get<&ClsExcelMultiSheets::TestPath>("TestPath"),
    Put<&ClsExcelMultiSheets::SetTestPath>("TestPath"),
    Get<&ClsExcelMultiSheets::FileName>("FileName"),
    Put<&ClsExcelMultiSheets::SetFileName>("FileName"),
    Get<&ClsExcelMultiSheets::Weight>("Weight"),
    Put<&ClsExcelMultiSheets::SetWeight>("Weight"),
    Get<&ClsExcelMultiSheets::PingRules>("PingRules"),
    PutRef<&ClsExcelMultiSheets::SetPingRules>("PingRules"),
};

inline constexpr BoundMember kTest[] = {
    Method<&ClsTest::Test>("Test"),
};

inline constexpr BoundMember kPatternMatchStr[] = {
    Method<&ClsPatternMatchStr::MatchString>("MatchString"),
};
}  // namespace bindings

inline constexpr BoundClass kBoundClasses[] = {
    BindClass<ClsRepeatName>("ClsRepeatName", bindings::kRepeatName),
    BindClass<ClsScoreState>("ClsScoreState", bindings::kScoreState),
    BindClass<ClsExcelMultiFiles>("ClsExcelMultiFiles", bindings::kExcelMultiFiles),
    BindClass<ClsExcelMultiSheets>("ClsExcelMultiSheets", bindings::kExcelMultiSheets),
    BindClass<ClsTest>("ClsTest", bindings::kTest),
    BindClass<ClsPatternMatchStr>("ClsPatternMatchStr", bindings::kPatternMatchStr),
};

}  // namespace vexmar::dispatch
