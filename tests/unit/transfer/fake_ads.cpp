#include "tests/unit/transfer/fake_ads.h"

#include <algorithm>
#include <cstdint>

#include "ads/ads_api.h"

namespace corvane::test {
namespace {

std::function<void(uint16_t)>& Hook() {
    static std::function<void(uint16_t)> hook;
    return hook;
}

}  // namespace

std::vector<std::string>& FlowLog() {
    static std::vector<std::string> log;
    return log;
}

void ClearFlowLog() {
    FlowLog().clear();
}

void SetWriteControlHook(std::function<void(uint16_t)> hook) {
    Hook() = std::move(hook);
}

std::string FormatAmsAddr(const AmsAddr& addr) {
    std::string text;
    for (int i = 0; i < 6; ++i) {
        text += std::to_string(addr.netId.b[i]) + (i < 5 ? "." : ":");
    }
    return text + std::to_string(addr.port);
}

}  // namespace corvane::test

using corvane::test::FlowLog;

namespace {
constexpr int32_t kPort = 0x8000;
}

int32_t AdsPortOpenEx() {
    FlowLog().push_back("AdsPortOpenEx");
    return kPort;
}

int32_t AdsPortCloseEx(int32_t port) {
    FlowLog().push_back("AdsPortCloseEx " + std::to_string(port));
    return ADSERR_NOERR;
}

int32_t AdsSyncSetTimeoutEx(int32_t port, int32_t timeoutMs) {
    FlowLog().push_back("AdsSyncSetTimeoutEx " + std::to_string(port) + " " +
                        std::to_string(timeoutMs));
    return ADSERR_NOERR;
}

int32_t AdsSyncWriteControlReqEx(int32_t port, const AmsAddr* pAddr, uint16_t adsState,
                                 uint16_t devState, uint32_t length, const void* pData) {
    FlowLog().push_back("WriteControl " + std::to_string(port) + " " + std::to_string(adsState) +
                        " " + std::to_string(devState) + " " + std::to_string(length) + " " +
                        (pData == nullptr ? "null" : "data") + " " +
                        corvane::test::FormatAmsAddr(*pAddr));
    if (corvane::test::Hook()) {
        corvane::test::Hook()(adsState);
    }
    return ADSERR_NOERR;
}

int32_t AdsSyncReadStateReqEx(int32_t port, const AmsAddr* /*pAddr*/, uint16_t* pAdsState,
                              uint16_t* pDevState) {
    FlowLog().push_back("ReadState " + std::to_string(port));
    *pAdsState = ADSSTATE_RUN;
    *pDevState = 0;
    return ADSERR_NOERR;
}

int32_t AdsSyncReadReqEx(int32_t port, const AmsAddr* /*pAddr*/, uint32_t indexGroup,
                         uint32_t indexOffset, uint32_t length, void* pData) {
    FlowLog().push_back("Read " + std::to_string(port) + " " + std::to_string(indexGroup) + " " +
                        std::to_string(indexOffset) + " " + std::to_string(length));
    std::fill_n(static_cast<uint8_t*>(pData), length, uint8_t{0});
    return ADSERR_NOERR;
}
