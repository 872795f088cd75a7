/* The C interface from a C11 host: every failure gives its status, number and Chinese
 * description; values, in/out arguments, collections and worksheet lists cross intact.
 * Built against vexmar/vexmar.h alone (in the build tree, and by the install test
 * against the installed header).   capi_edge_cases <source-dir> */
#include <vexmar/vexmar.h>

#include <stdio.h>
#include <string.h>

static const char* g_source_dir = ".";
static int g_failures = 0;

static void Check(int ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "FAILED: %s\n", what);
    ++g_failures;
  }
}

static vexmar_object* Make(const char* progid) {
  vexmar_object* object = NULL;
  if (vexmar_create(progid, &object) != VEXMAR_OK) Check(0, progid);
  return object;
}

static char* SamplePath(char* buffer, size_t size, const char* rest) {
  snprintf(buffer, size, "%s/examples/sample-exam/%s", g_source_dir, rest);
  return buffer;
}

/* Each case makes one call that must fail with `expected`. */
typedef vexmar_status (*Call)(void);

static vexmar_status CreateUnknown(void) {
  vexmar_object* o = NULL;
  return vexmar_create("VexmarExt.NoSuchClass", &o);
}
static vexmar_status CreateUnknownClsid(void) {
  vexmar_object* o = NULL;
  return vexmar_create("{00000000-0000-0000-0000-000000000000}", &o);
}
static vexmar_status CreateNullName(void) {
  vexmar_object* o = NULL;
  return vexmar_create(NULL, &o);
}
static vexmar_status CreateNullOut(void) { return vexmar_create("VexmarExt.ClsTest", NULL); }
static vexmar_status CallNullHandle(void) {
  vexmar_value r;
  return vexmar_call(NULL, "Test", NULL, 0, &r);
}
static vexmar_status WithMatcher(const char* name, vexmar_value* args, size_t count) {
  vexmar_object* m = Make("VexmarExt.ClsPatternMatchStr");
  vexmar_value r;
  const vexmar_status status = vexmar_call(m, name, args, count, &r);
  vexmar_value_clear(&r);
  vexmar_release(m);
  return status;
}
static vexmar_status MemberNotFound(void) { return WithMatcher("NoSuchMember", NULL, 0); }
static vexmar_status NullMemberName(void) { return WithMatcher(NULL, NULL, 0); }
static vexmar_status NullArguments(void) { return WithMatcher("MatchString", NULL, 4); }
static vexmar_status WrongArgumentCount(void) {
  vexmar_value a[1];
  a[0] = vexmar_string("a");
  return WithMatcher("MatchString", a, 1);
}
static vexmar_status WrongType(void) {
  vexmar_value a[4];
  a[0] = vexmar_string("a");
  a[1] = vexmar_string("b");
  a[2] = vexmar_string("x"); /* not a number */
  a[3] = vexmar_int32(0);
  return WithMatcher("MatchString", a, 4);
}
static vexmar_status UnknownTag(void) {
  vexmar_value a[4];
  a[0] = vexmar_string("a");
  a[1] = vexmar_string("b");
  a[2] = vexmar_int32(1);
  a[3] = vexmar_int32(0);
  a[3].type = 99;
  return WithMatcher("MatchString", a, 4);
}
static vexmar_status NullTextWithLength(void) {
  vexmar_value a[4];
  a[0] = vexmar_string(NULL);
  a[0].as.string.length = 3;
  a[1] = vexmar_string("b");
  a[2] = vexmar_int32(1);
  a[3] = vexmar_int32(0);
  return WithMatcher("MatchString", a, 4);
}
static vexmar_status PutNullValue(void) {
  vexmar_object* s = Make("VexmarExt.ClsScoreState");
  const vexmar_status status = vexmar_put(s, "ErrMsg", NULL);
  vexmar_release(s);
  return status;
}
static vexmar_status PutObjectOnPlainProperty(void) {
  vexmar_object* s = Make("VexmarExt.ClsScoreState");
  vexmar_object* c = NULL;
  vexmar_value v;
  vexmar_status status;
  vexmar_new_collection(&c);
  v = vexmar_object_value(c);
  status = vexmar_put(s, "ErrMsg", &v);
  vexmar_release(c);
  vexmar_release(s);
  return status;
}
static vexmar_status ItemOfEmptyCollection(void) {
  vexmar_object* c = NULL;
  vexmar_value index[1], r;
  vexmar_status status;
  vexmar_new_collection(&c);
  index[0] = vexmar_int32(1);
  status = vexmar_call(c, "Item", index, 1, &r);
  vexmar_release(c);
  return status;
}
static vexmar_status ListMissingFile(void) {
  vexmar_value names;
  return vexmar_list_worksheets("/nonexistent/成绩表.xls", &names);
}
static vexmar_status ListNullPath(void) {
  vexmar_value names;
  return vexmar_list_worksheets(NULL, &names);
}
static vexmar_status ListTruncatedWorkbook(void) {
  char path[4096];
  vexmar_value names;
  return vexmar_list_worksheets(SamplePath(path, sizeof path, "006-周八/成绩表.xls"), &names);
}

static const struct {
  const char* name;
  Call call;
  vexmar_status expected; /* -1: any failure */
} kFailures[] = {
    {"unknown ProgID", CreateUnknown, 429},
    {"unknown CLSID", CreateUnknownClsid, 429},
    {"null ProgID", CreateNullName, 5},
    {"null handle out", CreateNullOut, 5},
    {"null object handle", CallNullHandle, 91},
    {"member not found", MemberNotFound, 438},
    {"null member name", NullMemberName, 5},
    {"null argument array", NullArguments, 5},
    {"wrong argument count", WrongArgumentCount, 450},
    {"argument of the wrong type", WrongType, 13},
    {"unknown value tag", UnknownTag, 13},
    {"null text with a length", NullTextWithLength, 5},
    {"null value to write", PutNullValue, 5},
    {"object written to a string property", PutObjectOnPlainProperty, 438},
    {"item of an empty collection", ItemOfEmptyCollection, 9},
    {"missing file", ListMissingFile, 75},
    {"null path", ListNullPath, 5},
    {"truncated workbook", ListTruncatedWorkbook, -1},
};

/* Whether the UTF-8 text has a character of the main CJK block (lead bytes E4..E9). */
static int HasChinese(const char* text) {
  for (; *text != '\0'; ++text) {
    if ((unsigned char)*text >= 0xE4 && (unsigned char)*text <= 0xE9) return 1;
  }
  return 0;
}

static void CheckFailures(void) {
  size_t i;
  for (i = 0; i < sizeof kFailures / sizeof kFailures[0]; ++i) {
    const vexmar_status status = kFailures[i].call();
    const char* description = vexmar_error_description();
    const int chinese = description != NULL && HasChinese(description);
    if (status == VEXMAR_OK || (kFailures[i].expected >= 0 && status != kFailures[i].expected) ||
        vexmar_error_number() != status || !chinese) {
      fprintf(stderr, "FAILED: %s: status %d, number %d, description \"%s\"\n", kFailures[i].name,
              (int)status, (int)vexmar_error_number(), description ? description : "(null)");
      ++g_failures;
    }
  }
}

/* MatchString: the result, and the in/out length written back as an owned value. */
static void CheckInOut(void) {
  vexmar_object* m = Make("vexmarext.clspatternmatchstr");
  vexmar_value a[4], r;
  vexmar_release(Make("{ecb13ecb-fb69-4e2b-9d67-9cba5fe8aa6f}")); /* by CLSID */
  a[0] = vexmar_string("Sheet12");
  a[1] = vexmar_string("S?eet*2");
  a[2] = vexmar_int32(1);
  a[3] = vexmar_int32(0);
  Check(vexmar_call(m, "matchSTRING", a, 4, &r) == VEXMAR_OK, "MatchString");
  Check(r.type == VEXMAR_INT32 && r.as.int32 == 1 && r.owned, "MatchString result");
  Check(a[3].type == VEXMAR_INT32 && a[3].as.int32 == 7 && a[3].owned, "nLength written back");
  Check(a[0].type == VEXMAR_STRING && !a[0].owned, "in arguments stay the caller's");
  vexmar_value_clear(&a[0]);
  Check(a[0].type == VEXMAR_STRING, "clearing a caller's value leaves it");
  vexmar_value_clear(&a[3]);
  vexmar_value_clear(&r);
  vexmar_release(m);
}

/* GetFileNames fills the string list; a collection written by reference is shared. */
static void CheckListsAndCollections(void) {
  char path[4096];
  vexmar_object* names = Make("VexmarExt.ClsRepeatName");
  vexmar_object* files = Make("VexmarExt.ClsExcelMultiFiles");
  vexmar_object* mine = NULL;
  vexmar_value a[3], r, got, item;
  a[0] = vexmar_string("W|*.xls|2|m");
  a[1] = vexmar_empty();
  a[2] = vexmar_string(SamplePath(path, sizeof path, "001-张三"));
  Check(vexmar_call(names, "GetFileNames", a, 3, &r) == VEXMAR_OK && r.as.int32 == 1,
        "GetFileNames");
  Check(a[1].type == VEXMAR_STRING_LIST && a[1].as.list.count == 2 &&
            strcmp(a[1].as.list.items[1], "成绩表.xls") == 0,
        "file names written back");
  /* The list given back passed in again: replaced, the old one freed (the leak check). */
  Check(vexmar_call(names, "GetFileNames", a, 3, &r) == VEXMAR_OK && a[1].as.list.count == 2,
        "GetFileNames with its own list");
  vexmar_value_clear(&a[1]);

  vexmar_new_collection(&mine);
  got = vexmar_object_value(mine);
  Check(vexmar_put(files, "FilesName", &got) == VEXMAR_OK, "FilesName by reference");
  item = vexmar_string("x.xls");
  Check(vexmar_call(mine, "Add", &item, 1, NULL) == VEXMAR_OK, "Add");
  Check(vexmar_get(files, "FilesName", &got) == VEXMAR_OK && got.type == VEXMAR_OBJECT,
        "FilesName read");
  Check(vexmar_get(got.as.object, "Count", &r) == VEXMAR_OK && r.as.int32 == 1, "shared count");
  vexmar_value_clear(&got);
  vexmar_release(mine);
  vexmar_release(files);
  vexmar_release(names);
}

static void CheckWorksheets(void) {
  char path[4096];
  vexmar_value sheets;
  Check(vexmar_list_worksheets(SamplePath(path, sizeof path, "001-张三/统计.xlsx"), &sheets) ==
                VEXMAR_OK &&
            sheets.type == VEXMAR_STRING_LIST && sheets.as.list.count == 5 &&
            strcmp(sheets.as.list.items[0], "一月") == 0,
        "worksheets of a workbook");
  vexmar_value_clear(&sheets);
  Check(vexmar_list_worksheets(SamplePath(path, sizeof path, "001-张三/说明.txt"), &sheets) ==
                VEXMAR_OK &&
            sheets.type == VEXMAR_EMPTY,
        "a file that is no workbook");
}

int main(int argc, char** argv) {
  if (argc > 1) g_source_dir = argv[1];
  CheckFailures();
  CheckInOut();
  CheckListsAndCollections();
  CheckWorksheets();
  if (g_failures == 0) printf("C interface: all checks passed\n");
  return g_failures == 0 ? 0 : 1;
}
