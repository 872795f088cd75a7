#include "vexmar/dispatch/class_interface.hpp"

#include <array>
#include <utility>
#include <vector>

#include "vexmar/component/error.hpp"
#include "vexmar/dispatch/binding_check.hpp"
#include "vexmar/dispatch/class_bindings.hpp"
#include "vexmar/dispatch/coercion.hpp"

namespace vexmar::dispatch {
namespace {

const BoundMember& FindBinding(const BoundClass& bound, const contract::Member& member) {
  for (const auto& b : bound.members) {
    if (b.kind == member.kind && b.name == member.name) return b;
  }
  // Unreachable while the bindings agree with the class table (checked at compile time).
  Raise(ErrorNumber::kObjectDoesNotSupport);
}

// For each class of the table, in table order, the index of its binding.
constexpr auto kBindingIndex = [] {
  std::array<std::size_t, contract::kClasses.size()> index{};
  for (std::size_t c = 0; c < contract::kClasses.size(); ++c) {
    index[c] = std::size(kBoundClasses);
    for (std::size_t b = 0; b < std::size(kBoundClasses); ++b) {
      if (kBoundClasses[b].name == contract::kClasses[c].name) index[c] = b;
    }
  }
  return index;
}();

template <std::size_t... I>
std::array<ClassInterface, sizeof...(I)> MakeInterfaces(std::index_sequence<I...>) {
  return {ClassInterface(contract::kClasses[I], kBoundClasses[kBindingIndex[I]])...};
}

// Hands the in/out arguments' current values back to the caller when the call ends,
// whether the member returned or threw: what a member wrote before an error stays
// written.
class InOutWriteBack {
 public:
  InOutWriteBack(std::span<const contract::Parameter> parameters, std::span<Variant> converted,
                 std::span<Variant> caller) noexcept
      : parameters_(parameters), converted_(converted), caller_(caller) {}
  InOutWriteBack(const InOutWriteBack&) = delete;
  InOutWriteBack& operator=(const InOutWriteBack&) = delete;
  ~InOutWriteBack() {
    for (std::size_t i = 0; i < parameters_.size(); ++i) {
      if (parameters_[i].direction == contract::Direction::kInOut) {
        caller_[i] = std::move(converted_[i]);
      }
    }
  }

 private:
  std::span<const contract::Parameter> parameters_;
  std::span<Variant> converted_;
  std::span<Variant> caller_;
};

}  // namespace

static_assert(CountBindingProblems(contract::kClasses, kBoundClasses) == 0,
              "the C++ bindings differ from the class table: every entry of the table needs "
              "exactly one binding with its kind, name and signature, and nothing else may be "
              "bound (CheckBindings lists the differences by name)");

std::optional<std::int32_t> ClassInterface::FindId(std::u16string_view name) const noexcept {
  for (const auto& m : info_->members) {
    if (NameEquals(name, m.name)) return m.dispid;
  }
  return std::nullopt;
}

Variant ClassInterface::Invoke(const ObjectRef& self, std::int32_t dispid, InvokeFlags flags,
                               std::span<Variant> args) const {
  // An unknown id and a known id asked for in a kind it does not have (a property
  // write on a method, a plain write on an object property) are both "member not found".
  const contract::Member* member = nullptr;
  for (const auto& m : info_->members) {
    if (m.dispid == dispid && Allows(flags, m.kind)) {
      member = &m;
      break;
    }
  }
  if (member == nullptr) Raise(ErrorNumber::kObjectDoesNotSupport);
  if (args.size() != member->parameters.size()) Raise(ErrorNumber::kWrongArgumentCount);

  // Every argument is converted before the call, so a value that does not convert
  // fails the call without anything having run.
  std::vector<Variant> converted;
  converted.reserve(args.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    converted.push_back(CoerceTo(args[i], member->parameters[i].type));
  }
  const BoundMember& binding = FindBinding(*bound_, *member);
  const InOutWriteBack write_back(member->parameters, converted, args);
  return binding.call(*self, converted);
}

std::span<const ClassInterface> ClassInterfaces() noexcept {
  static const auto interfaces =
      MakeInterfaces(std::make_index_sequence<contract::kClasses.size()>{});
  return interfaces;
}

const ClassInterface* FindClassByProgId(std::u16string_view prog_id) noexcept {
  for (const auto& c : ClassInterfaces()) {
    if (NameEquals(prog_id, c.Info().prog_id)) return &c;
  }
  return nullptr;
}

const ClassInterface* FindClassByClsid(const Guid& clsid) noexcept {
  for (const auto& c : ClassInterfaces()) {
    if (c.Info().clsid == clsid) return &c;
  }
  return nullptr;
}

}  // namespace vexmar::dispatch
