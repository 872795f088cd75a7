#include "tools/com_server/server_sources.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "tools/com_server/type_library_file.hpp"
#include "vexmar/component/class_table.hpp"
#include "vexmar/component/utf.hpp"

namespace vexmar::com {
namespace {

using contract::kClasses;
using contract::MemberKind;

std::string Hex8(std::int32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(v));
  return buf;
}

// Every member's entry stands in its class's interface, in the table's order, with its
// dispatch id, kind, help string, parameters and result.
TEST(ServerSourcesTest, IdlListsEveryMemberInTableOrder) {
  const std::string idl = TypeLibraryIdl();
  std::size_t at = 0;
  for (const auto& c : kClasses) {
    at = idl.find("interface " + std::string(c.interface_name) + " : IDispatch", at);
    ASSERT_NE(at, std::string::npos) << c.name;
    for (const auto& m : c.members) {
      std::string attributes = "[id(" + Hex8(m.dispid) + ")";
      if (m.kind == MemberKind::kPropertyGet) attributes += ", propget";
      if (m.kind == MemberKind::kPropertyPut) attributes += ", propput";
      if (m.kind == MemberKind::kPropertyPutRef) attributes += ", propputref";
      if (!m.help.empty()) attributes += ", helpstring(\"" + Utf16ToUtf8(m.help) + "\")";
      attributes += "]\n    HRESULT " + std::string(m.name) + "(";
      const std::size_t next = idl.find(attributes, at);
      ASSERT_NE(next, std::string::npos) << c.name << "." << m.name;
      at = next + attributes.size();
    }
    const std::string coclass = "coclass " + std::string(c.name) +
                                "\n  {\n    [default] interface " + std::string(c.interface_name) +
                                ";";
    at = idl.find(coclass, at);
    ASSERT_NE(at, std::string::npos) << c.name;
  }
}

TEST(ServerSourcesTest, IdlSpellsOutParametersAndIdentity) {
  const std::string idl = TypeLibraryIdl();
  const std::string u(kUnnamedParameter);
  const char* expected[] = {
      "uuid(1DDDD776-D55E-4101-A7FB-FCDAE7C5771B),\n  version(1.1),\n  lcid(0)\n]\nlibrary "
      "VexmarExt",
      "import \"oaidl.idl\";\nimport \"CollectionInterface.idl\";",
      "importlib(\"stdole2.tlb\");\n  importlib(\"CollectionLibrary.tlb\");",
      "uuid(38271DF2-DE89-4775-878C-8EEDDFEFD3E4),\n    version(1.0),\n    hidden,\n    dual,\n"
      "    nonextensible,\n    oleautomation\n  ]\n  interface _ClsRepeatName : IDispatch",
      "uuid(29FEB8DF-FC7B-4092-8D56-3C1FAAA345B5),\n    version(1.0)\n  ]\n  coclass "
      "ClsRepeatName"};
  for (const char* text : expected) EXPECT_NE(idl.find(text), std::string::npos) << text;
  const std::string lines[] = {
      "GetFileNames([in] BSTR strRule, [in, out] SAFEARRAY(BSTR)* strFileNames, [in] BSTR "
      "strTestPath, [out, retval] long* " +
          u + ");",
      "GetRuleItem([in] BSTR strRule, [in, out] BSTR* strErrMsg, [in, out] float* sngWeight, "
      "[out, retval] VARIANT_BOOL* " +
          u + ");",
      "CurScore([in] float " + u + ");",
      "PingRules([in] _Collection* " + u + ");",
      "PingRules([out, retval] _Collection** " + u + ");",
      "FilesName([in] _Collection* " + u + ");",
      "FilesName([out, retval] _Collection** " + u + ");",
      "MatchString([in] BSTR strSource, [in] BSTR strFind, [in] long nStart, [in, out] long* "
      "nLength, [out, retval] long* " +
          u + ");",
      "Test();"};
  for (const auto& line : lines) EXPECT_NE(idl.find(line), std::string::npos) << line;
}

// The stand-in collection library: the identity the type library imports it by, and
// the collection interface with the ids the collection objects serve.
TEST(ServerSourcesTest, CollectionStandInHasTheImportedIdentity) {
  const std::string library = CollectionLibraryIdl();
  EXPECT_NE(library.find("import \"CollectionInterface.idl\";"), std::string::npos);
  EXPECT_NE(library.find("uuid(000204EF-0000-0000-C000-000000000046),\n  version(5.0),\n  "
                         "lcid(9)\n]\nlibrary "),
            std::string::npos)
      << library;
  EXPECT_NE(library.find("dispinterface _Collection;"), std::string::npos);

  const std::string idl = CollectionInterfaceIdl();
  EXPECT_NE(idl.find("uuid(A4C46780-499F-101B-BB78-00AA00383CBB)\n]\ndispinterface _Collection"),
            std::string::npos)
      << idl;
  const char* members[] = {"[id(0x00000000)] VARIANT Item([in] VARIANT* Index);",
                           "[id(0x00000001)] void Add([in] VARIANT* Item, [in, optional]",
                           "[id(0x00000002)] long Count();",
                           "[id(0x00000003)] void Remove([in] VARIANT* Index);",
                           "[id(0xFFFFFFFC)] IUnknown* _NewEnum();"};
  std::size_t at = 0;
  for (const char* m : members) {
    at = idl.find(m, at);
    ASSERT_NE(at, std::string::npos) << m;
  }
}

// The 20 bytes of each _IID_ resource, read back from the words the resource script
// gives: 16 as a 32-bit number, then the IID in binary GUID layout.
TEST(ServerSourcesTest, InterfaceIdResourcesHoldLengthAndIid) {
  const std::string rc = InterfaceIdResources();
  EXPECT_NE(rc.find("LANGUAGE 0, 0"), std::string::npos);
  for (const auto& c : kClasses) {
    const std::string head = "1 " + std::string(c.iid_resource) + "\n{\n";
    const std::size_t at = rc.find(head);
    ASSERT_NE(at, std::string::npos) << c.name;
    const std::size_t end = rc.find('}', at);
    std::istringstream words(rc.substr(at + head.size(), end - at - head.size()));
    std::vector<std::uint8_t> bytes;
    std::string word;
    while (std::getline(words, word, ',')) {
      const std::size_t start = word.find_first_not_of(" \n");
      word = word.substr(start, word.find_last_not_of(" \n") - start + 1);
      const bool dword = word.back() == 'L';
      const unsigned long value =
          std::stoul(dword ? word.substr(0, word.size() - 1) : word, nullptr, 0);
      for (int i = 0; i < (dword ? 4 : 2); ++i)
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    const Guid& g = c.iid;
    const std::vector<std::uint8_t> expected = {16,
                                                0,
                                                0,
                                                0,
                                                static_cast<std::uint8_t>(g.data1),
                                                static_cast<std::uint8_t>(g.data1 >> 8),
                                                static_cast<std::uint8_t>(g.data1 >> 16),
                                                static_cast<std::uint8_t>(g.data1 >> 24),
                                                static_cast<std::uint8_t>(g.data2),
                                                static_cast<std::uint8_t>(g.data2 >> 8),
                                                static_cast<std::uint8_t>(g.data3),
                                                static_cast<std::uint8_t>(g.data3 >> 8),
                                                g.data4[0],
                                                g.data4[1],
                                                g.data4[2],
                                                g.data4[3],
                                                g.data4[4],
                                                g.data4[5],
                                                g.data4[6],
                                                g.data4[7]};
    EXPECT_EQ(bytes, expected) << c.name;
  }
}

}  // namespace
}  // namespace vexmar::com
