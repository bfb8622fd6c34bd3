#include "db/legacy_binding.h"

#include <ibase.h>
#include <string_view>

namespace {
// The item's code; the 3.0 headers the tool builds with do not define it.
constexpr char kSetBind = 93;
constexpr std::string_view kBinding = kLegacyBinding;
static_assert(kBinding.size() < 256, "the item's length is one byte");
} // namespace

std::string WithLegacyBinding(std::string paramBuffer) {
    if (paramBuffer.empty())
        paramBuffer += static_cast<char>(isc_dpb_version1);
    paramBuffer += kSetBind;
    paramBuffer += static_cast<char>(kBinding.size());
    paramBuffer += kBinding;
    return paramBuffer;
}
