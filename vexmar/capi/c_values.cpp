#include "vexmar/capi/c_values.hpp"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "vexmar/capi/c_object.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"

namespace vexmar::capi {
namespace {

std::u16string TextOf(const vexmar_text& text) {
  if (text.data == nullptr) {
    if (text.length != 0) Raise(ErrorNumber::kInvalidProcedureCall);
    return {};
  }
  const std::size_t length = text.length != 0 ? text.length : std::strlen(text.data);
  return Utf8ToUtf16Escaped(std::string_view(text.data, length));
}

StringList ListOf(const vexmar_string_list& list) {
  if (list.count == 0) return {};  // absent
  if (list.items == nullptr) Raise(ErrorNumber::kInvalidProcedureCall);
  std::vector<std::u16string> items;
  items.reserve(list.count);
  for (std::size_t i = 0; i < list.count; ++i) {
    items.push_back(list.items[i] == nullptr ? std::u16string() : ToU16(list.items[i]));
  }
  return StringList::FromVector(std::move(items));
}

char* Allocate(std::size_t size) {
  void* block = std::malloc(size);
  if (block == nullptr) throw std::bad_alloc();
  return static_cast<char*>(block);
}

vexmar_text OwnedText(std::u16string_view text) {
  const std::string utf8 = Utf16ToUtf8(text);
  char* data = Allocate(utf8.size() + 1);
  std::memcpy(data, utf8.c_str(), utf8.size() + 1);
  return {data, utf8.size()};
}

// One block: the item pointers, then the NUL-terminated items they point to.
vexmar_string_list OwnedList(const StringList& list) {
  if (!list.HasBounds()) return {nullptr, 0};
  std::vector<std::string> items;
  std::size_t text_size = 0;
  for (const auto& item : list.Items()) {
    items.push_back(Utf16ToUtf8(item));
    text_size += items.back().size() + 1;
  }
  const std::size_t table_size = items.size() * sizeof(char*);
  char* block = Allocate(table_size + text_size);
  auto** table = reinterpret_cast<const char**>(block);
  char* text = block + table_size;
  for (std::size_t i = 0; i < items.size(); ++i) {
    std::memcpy(text, items[i].c_str(), items[i].size() + 1);
    table[i] = text;
    text += items[i].size() + 1;
  }
  return {table, items.size()};
}

}  // namespace

std::u16string ToU16(const char* text) {
  if (text == nullptr) Raise(ErrorNumber::kInvalidProcedureCall);
  return Utf8ToUtf16Escaped(text);
}

Variant ToVariant(const vexmar_value& value) {
  switch (value.type) {
    case VEXMAR_EMPTY:
      return Empty{};
    case VEXMAR_STRING:
      return TextOf(value.as.string);
    case VEXMAR_INT32:
      return value.as.int32;
    case VEXMAR_FLOAT32:
      return value.as.float32;
    case VEXMAR_BOOL:
      return ToBool16(value.as.boolean != 0);
    case VEXMAR_STRING_LIST:
      return ListOf(value.as.list);
    case VEXMAR_OBJECT:
      return value.as.object == nullptr ? ObjectRef() : value.as.object->object.Ref();
  }
  Raise(ErrorNumber::kTypeMismatch);
}

void SetOwned(vexmar_value& out, const Variant& value) {
  vexmar_value made = vexmar_empty();
  struct Visitor {
    vexmar_value& v;
    void operator()(Empty) const {}
    void operator()(std::int32_t n) const { v = vexmar_int32(n); }
    void operator()(float n) const { v = vexmar_float32(n); }
    void operator()(Bool16 b) const { v = vexmar_bool(static_cast<bool>(b) ? 1 : 0); }
    void operator()(const std::u16string& s) const {
      v.type = VEXMAR_STRING;
      v.as.string = OwnedText(s);
    }
    void operator()(const StringList& list) const {
      v.type = VEXMAR_STRING_LIST;
      v.as.list = OwnedList(list);
    }
    void operator()(const ObjectRef& object) const { v = vexmar_object_value(NewHandle(object)); }
  };
  std::visit(Visitor{made}, value);
  made.owned = 1;
  out = made;
}

void ClearOwned(vexmar_value& value) noexcept {
  if (value.owned == 0) return;  // the caller's: nothing of it is ours to free
  switch (value.type) {
    case VEXMAR_STRING:
      std::free(const_cast<char*>(value.as.string.data));
      break;
    case VEXMAR_STRING_LIST:
      std::free(const_cast<void*>(static_cast<const void*>(value.as.list.items)));
      break;
    case VEXMAR_OBJECT:
      delete value.as.object;
      break;
    default:
      break;
  }
  value = vexmar_empty();
}

vexmar_object* NewHandle(const ObjectRef& object) {
  if (object == nullptr) return nullptr;
  auto handle = std::make_unique<vexmar_object>();
  handle->object = dispatch::DispatchObject(object);
  for (const auto& info : contract::kClasses) {
    if (info.name == handle->object.TypeName()) handle->info = &info;
  }
  return handle.release();
}

}  // namespace vexmar::capi
