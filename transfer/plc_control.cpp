// SHIM
#include "transfer/plc_control.h"
#include "ads/ads_api.h"
#include "ams/ams_header.h"
std::optional<uint16_t> ReadPlcState(int, int, int, int) { return std::nullopt; }
bool RequestPlcRun(int a, int b, int c, int d) {
    AmsAddr plc{};
    plc.netId = ams::NetIdFromIpv4({uint8_t(a), uint8_t(b), uint8_t(c), uint8_t(d)});
    plc.port = ams::kPlcRuntimePort;
    const int32_t port = AdsPortOpenEx();
    AdsSyncSetTimeoutEx(port, 2000);
    const bool ok = AdsSyncWriteControlReqEx(port, &plc, ADSSTATE_RUN, 0, 0, nullptr) == 0;
    AdsPortCloseEx(port);
    return ok;
}
