// Test stand-in for libftd2xx.so (only built with SNIMAC_TESTS): the ten D2XX
// functions with the Linux signatures of ftd2xx.h, each recording its
// arguments and returning a status the test chose, so that a test can see
// that TD2xxLibrary passes every argument through unchanged.
#include <cstdint>
#include <cstring>

extern "C" {

// What the last call saw; read by the test through dlsym.
struct TFakeFtd2xxLog {
  char function[32];
  void* handle;
  void* arg1;
  void* arg2;
  uint32_t u1;
  uint32_t u2;
  uint32_t u3;
  uint32_t u4;
};

__attribute__((visibility("default"))) TFakeFtd2xxLog fake_ftd2xx_log;
__attribute__((visibility("default"))) uint32_t fake_ftd2xx_status = 0;

namespace {
uint32_t Record(const char* function, void* handle, void* arg1, void* arg2, uint32_t u1, uint32_t u2 = 0,
                uint32_t u3 = 0, uint32_t u4 = 0) {
  std::memset(&fake_ftd2xx_log, 0, sizeof fake_ftd2xx_log);
  std::strncpy(fake_ftd2xx_log.function, function, sizeof fake_ftd2xx_log.function - 1);
  fake_ftd2xx_log.handle = handle;
  fake_ftd2xx_log.arg1 = arg1;
  fake_ftd2xx_log.arg2 = arg2;
  fake_ftd2xx_log.u1 = u1;
  fake_ftd2xx_log.u2 = u2;
  fake_ftd2xx_log.u3 = u3;
  fake_ftd2xx_log.u4 = u4;
  return fake_ftd2xx_status;
}
}  // namespace

#define FAKE_API __attribute__((visibility("default")))

FAKE_API uint32_t FT_ListDevices(void* pArg1, void* pArg2, unsigned int Flags) {
  return Record("FT_ListDevices", nullptr, pArg1, pArg2, Flags);
}
FAKE_API uint32_t FT_OpenEx(void* pArg1, unsigned int Flags, void** pHandle) {
  if (pHandle) *pHandle = reinterpret_cast<void*>(0x1234);
  return Record("FT_OpenEx", nullptr, pArg1, pHandle, Flags);
}
FAKE_API uint32_t FT_SetBaudRate(void* ftHandle, unsigned int BaudRate) {
  return Record("FT_SetBaudRate", ftHandle, nullptr, nullptr, BaudRate);
}
FAKE_API uint32_t FT_SetDataCharacteristics(void* ftHandle, unsigned char WordLength, unsigned char StopBits,
                                            unsigned char Parity) {
  return Record("FT_SetDataCharacteristics", ftHandle, nullptr, nullptr, WordLength, StopBits, Parity);
}
FAKE_API uint32_t FT_SetFlowControl(void* ftHandle, unsigned short FlowControl, unsigned char XonChar,
                                    unsigned char XoffChar) {
  return Record("FT_SetFlowControl", ftHandle, nullptr, nullptr, FlowControl, XonChar, XoffChar);
}
FAKE_API uint32_t FT_SetTimeouts(void* ftHandle, unsigned int ReadTimeout, unsigned int WriteTimeout) {
  return Record("FT_SetTimeouts", ftHandle, nullptr, nullptr, ReadTimeout, WriteTimeout);
}
FAKE_API uint32_t FT_SetLatencyTimer(void* ftHandle, unsigned char ucLatency) {
  return Record("FT_SetLatencyTimer", ftHandle, nullptr, nullptr, ucLatency);
}
FAKE_API uint32_t FT_Write(void* ftHandle, void* lpBuffer, unsigned int dwBytesToWrite,
                           unsigned int* lpBytesWritten) {
  if (lpBytesWritten) *lpBytesWritten = dwBytesToWrite;
  return Record("FT_Write", ftHandle, lpBuffer, lpBytesWritten, dwBytesToWrite);
}
FAKE_API uint32_t FT_Read(void* ftHandle, void* lpBuffer, unsigned int dwBytesToRead,
                          unsigned int* lpBytesReturned) {
  if (lpBytesReturned) *lpBytesReturned = dwBytesToRead > 0 ? 1 : 0;
  if (lpBuffer && dwBytesToRead > 0) static_cast<unsigned char*>(lpBuffer)[0] = 0xC0;
  return Record("FT_Read", ftHandle, lpBuffer, lpBytesReturned, dwBytesToRead);
}
FAKE_API uint32_t FT_Close(void* ftHandle) { return Record("FT_Close", ftHandle, nullptr, nullptr, 0); }

}  // extern "C"
