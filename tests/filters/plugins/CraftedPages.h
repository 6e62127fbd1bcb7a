// The format codes of the crafted-page test plug-in (TfPages.cpp), shared by the
// plug-in and the document tests that load and save through it.
#pragma once

#include <cstdint>

namespace crafted {

constexpr uint32_t kPGS = 0x00504753;  // single page, no alpha
constexpr uint32_t kPGA = 0x10504741;  // alpha
constexpr uint32_t kPGV = 0x10504756;  // vector and alpha
constexpr uint32_t kPGL = 0x1050474C;  // layers, merged, alpha
constexpr uint32_t kPGN = 0x1050474E;  // layers and merged, no alpha
constexpr uint32_t kPGF = 0x10504746;  // alpha; the save fails after writing
constexpr uint32_t kPGQ = 0x10504751;  // the save query itself fails

}  // namespace crafted
