#include "transfer/plc_control.h"

#include <chrono>

#include "ads/ads_api.h"
#include "device/device_timing.h"
#include "device/plc_memory.h"

namespace {

uint8_t Octet(int value) {
    return static_cast<uint8_t>(value & 0xFF);
}

// A port of the call's own, so nothing else can close it under the call, with the ADS call
// time-out bounding the call like any other; closed on every way out.
class OwnPort {
public:
    OwnPort() : port_(AdsPortOpenEx()) {
        AdsSyncSetTimeoutEx(port_, static_cast<int32_t>(device::AdsCallTimeout().count()));
    }
    ~OwnPort() { AdsPortCloseEx(port_); }
    OwnPort(const OwnPort&) = delete;
    OwnPort& operator=(const OwnPort&) = delete;
    int32_t Number() const { return port_; }

private:
    int32_t port_;
};

}  // namespace

AmsAddr PlcAddress(int a, int b, int c, int d) {
    return AmsAddr{ams::NetIdFromIpv4({Octet(a), Octet(b), Octet(c), Octet(d)}),
                   ams::kPlcRuntimePort};
}

std::optional<uint16_t> ReadPlcState(int a, int b, int c, int d, int32_t* error) {
    const AmsAddr plc = PlcAddress(a, b, c, d);
    const OwnPort port;
    uint16_t adsState = 0;
    uint16_t deviceState = 0;
    const int32_t result = AdsSyncReadStateReqEx(port.Number(), &plc, &adsState, &deviceState);
    if (error != nullptr) {
        *error = result;
    }
    if (result != ADSERR_NOERR) {
        return std::nullopt;
    }
    return adsState;
}

std::optional<int16_t> ReadStateWord(int a, int b, int c, int d) {
    const AmsAddr plc = PlcAddress(a, b, c, d);
    const OwnPort port;
    device::StatusBlock status{};
    if (AdsSyncReadReqEx(port.Number(), &plc, device::kPlcMemoryIndexGroup,
                         device::kStatusBlockOffset, static_cast<uint32_t>(status.size()),
                         status.data()) != ADSERR_NOERR) {
        return std::nullopt;
    }
    return device::StateWord(status);
}

bool RequestPlcRun(int a, int b, int c, int d) {
    return RequestPlcState(PlcAddress(a, b, c, d), ADSSTATE_RUN);
}

bool RequestPlcState(const AmsAddr& plc, uint16_t adsState) {
    const OwnPort port;
    return AdsSyncWriteControlReqEx(port.Number(), &plc, adsState, 0, 0, nullptr) == ADSERR_NOERR;
}
