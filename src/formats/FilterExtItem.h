// One entry of the filter manager's extension index (FilterManager::ExtItem): an
// extension, lower case and without its dot, and the format it leads to. Several
// entries may carry the same extension; lookups take the first.
#pragma once

#include <type_traits>

#include "formats/FilterFormatDesc.h"
#include "formats/GenString.h"
#include "platform/Abi.h"

namespace glib {

struct FilterExtItem {
  gen::string Extension;
  FilterFormatDesc* Format = nullptr;  // not owned
};

static_assert(std::is_standard_layout_v<FilterExtItem>);
ORBISK_LAYOUT_OFFSET(FilterExtItem, Format, 24);
ORBISK_LAYOUT_SIZE(FilterExtItem, 28);

}  // namespace glib
