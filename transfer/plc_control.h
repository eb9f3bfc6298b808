// SHIM
#pragma once
#include <cstdint>
#include <optional>
std::optional<uint16_t> ReadPlcState(int a, int b, int c, int d);
bool RequestPlcRun(int a, int b, int c, int d);
