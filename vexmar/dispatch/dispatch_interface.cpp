#include "vexmar/dispatch/dispatch_interface.hpp"

#include "vexmar/text/letter_case.hpp"

namespace vexmar::dispatch {

bool NameEquals(std::u16string_view name, std::string_view member) noexcept {
  if (name.size() != member.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto ascii = static_cast<char16_t>(static_cast<unsigned char>(member[i]));
    if (ToUpperUnit(name[i]) != ToUpperUnit(ascii)) return false;
  }
  return true;
}

}  // namespace vexmar::dispatch
