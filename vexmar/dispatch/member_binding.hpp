#pragma once
// The binding of one contract member to the plain C++ member that serves it.
//
//   Get<&ClsScoreState::CurScore>("CurScore")
//   Put<&ClsScoreState::SetCurScore>("CurScore")
//   PutRef<&ClsExcelMultiFiles::SetFilesName>("FilesName")
//   Method<&ClsPatternMatchStr::MatchString>("MatchString")
//
// The kind and the contract name are written per member; the parameter types and
// directions and the result type are deduced from the C++ member's own signature,
// so that they can be compared with the class table (binding_check.hpp), and the
// call itself is generated from the member pointer.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>

#include "vexmar/component/class_table.hpp"
#include "vexmar/component/value.hpp"
#include "vexmar/platform/collection.hpp"

namespace vexmar::dispatch {

struct BoundMember {
  contract::MemberKind kind;
  std::string_view name;
  // Deduced from the C++ member; parameter names are left empty (the class table has them).
  std::span<const contract::Parameter> parameters;
  contract::ValueType result;
  // The class whose member this is (see TypeTag), checked against the class bound.
  const void* type_tag;
  // Calls the member on `self` (an object of the tagged class) with `args` already
  // converted to the declared types, one per parameter in declaration order; in/out
  // parameters are passed as references into `args`.
  Variant (*call)(Object& self, std::span<Variant> args);
};

// One address per C++ class: identifies a class in constant expressions. Hidden, so
// that the tags of the public classes are not exported with them.
template <typename T>
[[gnu::visibility("hidden")]] inline constexpr char kTypeTagOf = 0;
template <typename T>
constexpr const void* TypeTag() noexcept {
  return &kTypeTagOf<T>;
}

namespace binding_detail {
using contract::Direction;
using contract::Parameter;
using contract::ValueType;

// The contract type and direction of a C++ parameter type, and how the member gets it
// from the converted argument. Types without a specialisation cannot be bound.
template <typename P>
struct ParameterTraits;

template <typename T, ValueType kType>
struct ByValue {
  static constexpr Parameter kParameter{"", kType, Direction::kIn};
  // The argument slot is the engine's own converted copy: the member may take it.
  static T From(Variant& v) { return std::move(std::get<T>(v)); }
};
template <typename T, ValueType kType>
struct ByConstReference {
  static constexpr Parameter kParameter{"", kType, Direction::kIn};
  static const T& From(Variant& v) { return std::get<T>(v); }
};
template <typename T, ValueType kType>
struct ByReference {
  static constexpr Parameter kParameter{"", kType, Direction::kInOut};
  static T& From(Variant& v) { return std::get<T>(v); }
};

template <>
struct ParameterTraits<std::u16string> : ByValue<std::u16string, ValueType::kString> {};
template <>
struct ParameterTraits<const std::u16string&>
    : ByConstReference<std::u16string, ValueType::kString> {};
template <>
struct ParameterTraits<std::u16string&> : ByReference<std::u16string, ValueType::kString> {};
template <>
struct ParameterTraits<std::int32_t> : ByValue<std::int32_t, ValueType::kInt32> {};
template <>
struct ParameterTraits<std::int32_t&> : ByReference<std::int32_t, ValueType::kInt32> {};
template <>
struct ParameterTraits<float> : ByValue<float, ValueType::kFloat32> {};
template <>
struct ParameterTraits<float&> : ByReference<float, ValueType::kFloat32> {};
template <>
struct ParameterTraits<Bool16> : ByValue<Bool16, ValueType::kBool16> {};
template <>
struct ParameterTraits<Bool16&> : ByReference<Bool16, ValueType::kBool16> {};
template <>
struct ParameterTraits<StringList&> : ByReference<StringList, ValueType::kStringList> {};
template <>
struct ParameterTraits<CollectionRef> {
  static constexpr Parameter kParameter{"", ValueType::kCollection, Direction::kIn};
  // The engine has checked that the reference is a collection or Nothing.
  static CollectionRef From(Variant& v) {
    return std::static_pointer_cast<Collection>(std::get<ObjectRef>(v));
  }
};

// The contract result type of a C++ result type and its late-bound value.
template <typename R>
struct ResultTraits;
template <>
struct ResultTraits<void> {
  static constexpr ValueType kType = ValueType::kNone;
};
template <typename T, ValueType kResult>
struct PlainResult {
  static constexpr ValueType kType = kResult;
  static Variant ToVariant(T value) { return Variant(std::move(value)); }
};
template <>
struct ResultTraits<std::u16string> : PlainResult<std::u16string, ValueType::kString> {};
template <>
struct ResultTraits<std::int32_t> : PlainResult<std::int32_t, ValueType::kInt32> {};
template <>
struct ResultTraits<float> : PlainResult<float, ValueType::kFloat32> {};
template <>
struct ResultTraits<Bool16> : PlainResult<Bool16, ValueType::kBool16> {};
template <>
struct ResultTraits<CollectionRef> {
  static constexpr ValueType kType = ValueType::kCollection;
  static Variant ToVariant(CollectionRef value) { return Variant(ObjectRef(std::move(value))); }
};

// The parts of a member-function pointer type.
template <typename F>
struct MemberFunction;
template <typename C, typename R, typename... P>
struct MemberFunction<R (C::*)(P...)> {
  using Class = C;
  using Result = R;
  using Parameters = std::tuple<P...>;
};
template <typename C, typename R, typename... P>
struct MemberFunction<R (C::*)(P...) const> : MemberFunction<R (C::*)(P...)> {};
template <typename C, typename R, typename... P>
struct MemberFunction<R (C::*)(P...) noexcept> : MemberFunction<R (C::*)(P...)> {};
template <typename C, typename R, typename... P>
struct MemberFunction<R (C::*)(P...) const noexcept> : MemberFunction<R (C::*)(P...)> {};

template <typename Tuple>
struct Signature;
template <typename... P>
struct Signature<std::tuple<P...>> {
  static constexpr std::array<Parameter, sizeof...(P)> kParameters{
      ParameterTraits<P>::kParameter...};
};

template <auto Fn, typename... P, std::size_t... I>
Variant CallWith(Object& self, std::span<Variant> args, std::tuple<P...>*,
                 std::index_sequence<I...>) {
  using Traits = MemberFunction<decltype(Fn)>;
  using Result = typename Traits::Result;
  auto& target = static_cast<typename Traits::Class&>(self);
  if constexpr (std::is_void_v<Result>) {
    (target.*Fn)(ParameterTraits<P>::From(args[I])...);
    return Empty{};
  } else {
    return ResultTraits<Result>::ToVariant((target.*Fn)(ParameterTraits<P>::From(args[I])...));
  }
}

template <auto Fn>
Variant Call(Object& self, std::span<Variant> args) {
  using Parameters = typename MemberFunction<decltype(Fn)>::Parameters;
  return CallWith<Fn>(self, args, static_cast<Parameters*>(nullptr),
                      std::make_index_sequence<std::tuple_size_v<Parameters>>{});
}

template <auto Fn>
constexpr BoundMember Bind(contract::MemberKind kind, std::string_view name) {
  using Traits = MemberFunction<decltype(Fn)>;
  return BoundMember{kind,
                     name,
                     Signature<typename Traits::Parameters>::kParameters,
                     ResultTraits<typename Traits::Result>::kType,
                     TypeTag<typename Traits::Class>(),
                     &Call<Fn>};
}
}  // namespace binding_detail

template <auto Fn>
constexpr BoundMember Method(std::string_view name) {
  return binding_detail::Bind<Fn>(contract::MemberKind::kMethod, name);
}
template <auto Fn>
constexpr BoundMember Get(std::string_view name) {
  return binding_detail::Bind<Fn>(contract::MemberKind::kPropertyGet, name);
}
template <auto Fn>
constexpr BoundMember Put(std::string_view name) {
  return binding_detail::Bind<Fn>(contract::MemberKind::kPropertyPut, name);
}
template <auto Fn>
constexpr BoundMember PutRef(std::string_view name) {
  return binding_detail::Bind<Fn>(contract::MemberKind::kPropertyPutRef, name);
}

}  // namespace vexmar::dispatch
