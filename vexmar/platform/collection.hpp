#pragma once
// The ordered collection behind PingRules and FilesName: items numbered from 1, Add
// appends (equal values allowed), shared by reference between an object and its host.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "vexmar/component/export.hpp"
#include "vexmar/component/value.hpp"

namespace vexmar {

class VEXMAR_API Collection : public Object {
 public:
  void Add(Variant item);
  std::int32_t Count() const;
  // 1-based; outside 1..Count is the subscript error.
  const Variant& Item(std::int32_t index) const;
  void Remove(std::int32_t index);
  // Room for `count` items in all, so that adding that many moves nothing.
  void Reserve(std::size_t count);

  auto begin() const noexcept { return items_.begin(); }
  auto end() const noexcept { return items_.end(); }

 private:
  std::vector<Variant> items_;
};
using CollectionRef = std::shared_ptr<Collection>;

}  // namespace vexmar
