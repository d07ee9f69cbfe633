// The Windows adapters against the real Win32 calls (run under Wine in the
// cross build): texts at the UTF-16 edge, regional separators, the clock,
// thread names, the vendor library loader, the TCP line client against a
// Winsock server on 127.0.0.1, the virtual serial port and the COM port
// D2XX driver, and UTF-8 file names with Czech letters.
// The test server needs only the sockets of Winsock 1.1: <windows.h> brings
// them when it was included first without WIN32_LEAN_AND_MEAN (as the
// build's check for the core does), and <winsock2.h> may not follow it then.
#ifndef _WINSOCKAPI_
#include <winsock2.h>
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/paths.h"
#include "cards/attendance_file.h"
#include "link/d2xx.h"
#include "link/text_log.h"
#include "link/thread_name.h"
#include "platform/win32/adapters/com_port_d2xx.h"
#include "platform/win32/adapters/d2xx_dll.h"
#include "platform/win32/adapters/wide_text.h"
#include "platform/win32/adapters/win32_clock.h"
#include "platform/win32/adapters/win32_locale_separators.h"
#include "platform/win32/adapters/win32_serial_port.h"
#include "platform/win32/adapters/win32_thread_namer.h"
#include "platform/win32/adapters/winsock_line_client.h"

namespace snimac {
namespace {

using namespace std::chrono_literals;
using TSteady = std::chrono::steady_clock;

const std::string kCzechUtf8 = "Příliš žluťoučký kůň úpěl ďábelské ódy";
const std::wstring kCzechWide = L"Příliš žluťoučký kůň úpěl ďábelské ódy";
// The same letters by code point, so that the test does not rest on the
// compiler's reading of the source alone.
const std::wstring kCzechCodePoints = L"P\u0159\u00EDli\u0161 \u017Elu\u0165ou\u010Dk\u00FD k\u016F\u0148 "
                                      L"\u00FAp\u011Bl \u010F\u00E1belsk\u00E9 \u00F3dy";

// ---------------------------------------------------------------- texts

TEST(Win32WideText, CzechLettersSurviveTheRoundTrip) {
  ASSERT_EQ(kCzechWide, kCzechCodePoints);
  EXPECT_EQ(Utf8ToWide(kCzechUtf8), kCzechWide);
  EXPECT_EQ(WideToUtf8(kCzechWide), kCzechUtf8);
  EXPECT_EQ(Utf8ToWide(""), L"");
  EXPECT_EQ(WideToUtf8(L""), "");
  // A broken byte costs one replacement character, not the whole text.
  EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a\uFFFDb");
}

TEST(Win32WideText, EnvironmentVariablesAreReadAsUtf8) {
  const std::wstring name = L"SNIMAC_TEST_Č";
  const std::string utf8Name = WideToUtf8(name);
  ASSERT_TRUE(::SetEnvironmentVariableW(name.c_str(), kCzechWide.c_str()));
  EXPECT_EQ(EnvironmentUtf8(utf8Name), kCzechUtf8);
  ASSERT_TRUE(::SetEnvironmentVariableW(name.c_str(), L""));
  EXPECT_EQ(EnvironmentUtf8(utf8Name), std::string());
  ASSERT_TRUE(::SetEnvironmentVariableW(name.c_str(), nullptr));
  EXPECT_EQ(EnvironmentUtf8(utf8Name), std::nullopt);
  // Longer than the first guess of the buffer.
  const std::wstring longValue(300, L'ř');
  ASSERT_TRUE(::SetEnvironmentVariableW(name.c_str(), longValue.c_str()));
  EXPECT_EQ(EnvironmentUtf8(utf8Name), WideToUtf8(longValue));
  ::SetEnvironmentVariableW(name.c_str(), nullptr);
}

TEST(Win32WideText, SettingsFromTheEnvironment) {
  ASSERT_TRUE(::SetEnvironmentVariableW(L"SNIMAC_SERIAL_PORT", nullptr));
  EXPECT_EQ(SerialPortPathFromEnvironment(), "\\\\.\\CNCB0");
  ASSERT_TRUE(::SetEnvironmentVariableW(L"SNIMAC_SERIAL_PORT", L""));
  EXPECT_EQ(SerialPortPathFromEnvironment(), "\\\\.\\CNCB0");
  ASSERT_TRUE(::SetEnvironmentVariableW(L"SNIMAC_SERIAL_PORT", L"\\\\.\\CNCA7"));
  EXPECT_EQ(SerialPortPathFromEnvironment(), "\\\\.\\CNCA7");
  ::SetEnvironmentVariableW(L"SNIMAC_SERIAL_PORT", nullptr);

  ASSERT_TRUE(::SetEnvironmentVariableW(L"SNIMAC_SERVER", nullptr));
  EXPECT_EQ(ServerSettingFromEnvironment(), "");
  ASSERT_TRUE(::SetEnvironmentVariableW(L"SNIMAC_SERVER", L"[::1]:11001"));
  EXPECT_EQ(ServerSettingFromEnvironment(), "[::1]:11001");
  ::SetEnvironmentVariableW(L"SNIMAC_SERVER", nullptr);
}

// ---------------------------------------------------------------- regional separators

TEST(Win32LocaleSeparators, FirstSeparatorOfThePicture) {
  const struct {
    const wchar_t* picture;
    char separator;
  } cases[] = {
      {L"dd.MM.yyyy", '.'},   {L"d. M. yyyy", '.'},  {L"M/d/yyyy", '/'},       {L"yyyy-MM-dd", '-'},
      {L"HH:mm:ss", ':'},     {L"h:mm:ss tt", ':'},  {L"H.mm.ss", '.'},        {L"dd'.'MM'.'yyyy", '?'},
      {L"H'h'mm", '?'},       {L"HH' h 'mm", '?'},   {L"''dd/MM", '/'},        {L"yyyy'\u5E74'M'\u6708'd", '?'},
      {L"yyyy\u5E74M/d", '/'}, {L"ddMMyyyy", '?'},   {L"", '?'},               {L"'unclosed/", '?'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.picture));
    EXPECT_EQ(SeparatorOfWindowsFormat(c.picture, '?'), c.separator);
  }
}

// ---------------------------------------------------------------- clock

TEST(Win32Clock, SteadyTimeMovesOnAndSleepsLastAtLeastTheirTime) {
  TWin32Clock clock;
  const int64_t start = clock.NowUs();
  const auto wallStart = TSteady::now();
  clock.SleepUs(30000);
  const int64_t slept = clock.NowUs() - start;
  EXPECT_GE(slept, 30000);
  EXPECT_GE(TSteady::now() - wallStart, 30ms);
  EXPECT_LT(slept, 5000000);  // far above the bound: a unit mix-up, not a slow machine

  int64_t previous = clock.NowUs();
  for (int i = 0; i < 1000; ++i) {
    const int64_t now = clock.NowUs();
    ASSERT_GE(now, previous);
    previous = now;
  }
  const auto before = TSteady::now();
  clock.SleepUs(0);
  clock.SleepUs(-5);
  EXPECT_LT(TSteady::now() - before, 10ms);
}

TEST(Win32Clock, LocalTimeIsTheLocalWallTime) {
  TWin32Clock clock;
  const TLocalTime local = clock.LocalNow();
  const std::time_t now = std::time(nullptr);
  // The CRT's idea of local time, an independent road to the same answer.
  std::tm tm{};
  tm.tm_year = local.year - 1900;
  tm.tm_mon = local.month - 1;
  tm.tm_mday = local.day;
  tm.tm_hour = local.hour;
  tm.tm_min = local.minute;
  tm.tm_sec = local.second;
  tm.tm_isdst = -1;
  EXPECT_LE(std::llabs(static_cast<long long>(std::mktime(&tm) - now)), 2);
  EXPECT_GE(local.millisecond, 0);
  EXPECT_LE(local.millisecond, 999);
}

// ---------------------------------------------------------------- thread names

TEST(Win32ThreadNamer, NamesTheCallingThread) {
  using FGetThreadDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
  const FARPROC address = ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription");
  if (address == nullptr) GTEST_SKIP() << "this Windows has no thread descriptions";
  const auto getDescription = reinterpret_cast<FGetThreadDescription>(reinterpret_cast<void (*)()>(address));

  InstallWin32ThreadNamer();
  std::wstring seen;
  std::thread([&] {
    NameCurrentThread("snimac-link č");
    PWSTR description = nullptr;
    if (SUCCEEDED(getDescription(::GetCurrentThread(), &description)) && description) {
      seen = description;
      ::LocalFree(description);
    }
  }).join();
  SetThreadNamer(nullptr);
  EXPECT_EQ(seen, L"snimac-link č");
}

// ---------------------------------------------------------------- FTD2XX.DLL

TEST(Win32D2xxDll, AMissingLibraryOrCallIsAnErrorNamingTheLibrary) {
  try {
    TD2xxDll dll(L"snimac-no-such-library.dll");
    FAIL() << "loaded a library that does not exist";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()).rfind("Knihovnu snimac-no-such-library.dll nelze načíst: ", 0), 0u)
        << error.what();
  }
  try {
    TD2xxDll dll(L"kernel32.dll");  // loads, but has none of the calls
    FAIL() << "kernel32.dll passed for a D2XX library";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()).rfind("Knihovna kernel32.dll neobsahuje funkci FT_ListDevices: ", 0), 0u)
        << error.what();
  }
}

// The stand-in FTD2XX.DLL of this build (platform/win32/sim_ftd2xx), when it
// was built: the calls go through with their calling convention intact.
TEST(Win32D2xxDll, CallsReachTheLibrary) {
  wchar_t exe[MAX_PATH] = {};
  ASSERT_GT(::GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
  std::wstring dll = exe;
  dll = dll.substr(0, dll.find_last_of(L"\\/")) + L"\\..\\platform\\win32\\sim_ftd2xx\\FTD2XX.DLL";
  if (::GetFileAttributesW(dll.c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "no simulated FTD2XX.DLL in this build";
  }
  TD2xxDll d2xx(dll);
  uint32_t count = 0;
  ASSERT_EQ(d2xx.ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  ASSERT_GE(count, 1u);
  char serial[kFtStringSize] = {};
  ASSERT_EQ(d2xx.ListDevices(reinterpret_cast<void*>(uintptr_t{0}), serial, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER),
            FT_OK);
  FT_HANDLE handle = nullptr;
  ASSERT_EQ(d2xx.OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
  EXPECT_EQ(d2xx.SetBaudRate(handle, 9600), FT_OK);
  EXPECT_EQ(d2xx.SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE), FT_OK);
  EXPECT_EQ(d2xx.SetFlowControl(handle, FT_FLOW_NONE, 0, 0), FT_OK);
  EXPECT_EQ(d2xx.SetTimeouts(handle, 50, 100), FT_OK);
  EXPECT_EQ(d2xx.SetLatencyTimer(handle, 2), FT_OK);
  EXPECT_EQ(d2xx.SetLatencyTimer(handle, 0), FT_INVALID_PARAMETER);  // the value reaches the simulated bus
  uint32_t received = 99;
  unsigned char byte = 0;
  EXPECT_EQ(d2xx.Read(handle, &byte, 1, &received), FT_OK);
  EXPECT_LE(received, 1u);
  EXPECT_EQ(d2xx.Close(handle), FT_OK);
}

// ---------------------------------------------------------------- TCP line client

// A Winsock server on 127.0.0.1 for one connection: it reads the client's
// line, then answers with `reply` (nothing at all when empty) and keeps
// reading until the client hangs up or the server is destroyed.
class TLoopbackServer {
 public:
  explicit TLoopbackServer(std::string reply) : reply_(std::move(reply)) {
    WSADATA data{};
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(listener_, 1) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      ADD_FAILURE() << "the loopback server cannot listen: " << ::WSAGetLastError();
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~TLoopbackServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    ::closesocket(listener_);
    if (started_) ::WSACleanup();
  }
  TLoopbackServer(const TLoopbackServer&) = delete;
  TLoopbackServer& operator=(const TLoopbackServer&) = delete;

  uint16_t Port() const { return port_; }
  // What the client sent, once it has hung up.
  std::string Received() {
    if (thread_.joinable()) thread_.join();
    return received_;
  }

 private:
  // Waits in short steps, so that the destructor's stop is seen.
  bool Readable(SOCKET s) {
    while (!stop_) {
      fd_set set;
      FD_ZERO(&set);
      FD_SET(s, &set);
      timeval step{0, 20000};
      if (::select(0, &set, nullptr, nullptr, &step) != 0) return true;
    }
    return false;
  }

  void Serve() {
    if (!Readable(listener_)) return;
    const SOCKET client = ::accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    char chunk[256];
    bool answered = false;
    while (Readable(client)) {
      const int n = ::recv(client, chunk, sizeof chunk, 0);
      if (n <= 0) break;  // the client hung up
      received_.append(chunk, static_cast<size_t>(n));
      if (!answered && received_.find("\r\n") != std::string::npos) {
        answered = true;
        if (!reply_.empty()) ::send(client, reply_.data(), static_cast<int>(reply_.size()), 0);
      }
    }
    ::closesocket(client);
  }

  std::string reply_;
  bool started_ = false;
  SOCKET listener_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::string received_;
  std::thread thread_;
};

TEST(Win32LineClient, ExchangesALineWithTheServer) {
  TLoopbackServer server("OK\r\nnext\r\n");
  TWinsockLineClient client;
  ASSERT_EQ(client.Connect("127.0.0.1", server.Port(), 2s), TConnectResult::Connected);
  EXPECT_TRUE(client.Connected());
  ASSERT_TRUE(client.WriteLine("L 06/12/2026-14:10 1234ab0f", 1s));
  const TLineRead first = client.ReadLine(1s, 16);
  EXPECT_EQ(first.status, TLineStatus::Line);
  EXPECT_EQ(first.text, "OK");
  // What came after the first line end is kept for the next read.
  const TLineRead second = client.ReadLine(1s, 16);
  EXPECT_EQ(second.status, TLineStatus::Line);
  EXPECT_EQ(second.text, "next");
  client.Disconnect();
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(server.Received(), "L 06/12/2026-14:10 1234ab0f\r\n");
}

TEST(Win32LineClient, ASilentServerTimesOutAndALongReplyIsTooLong) {
  {
    TLoopbackServer silent("");
    TWinsockLineClient client;
    ASSERT_EQ(client.Connect("localhost", silent.Port(), 2s), TConnectResult::Connected);
    ASSERT_TRUE(client.WriteLine("L", 1s));
    const auto start = TSteady::now();
    EXPECT_EQ(client.ReadLine(300ms, 16).status, TLineStatus::TimedOut);
    const auto waited = TSteady::now() - start;
    EXPECT_GE(waited, 250ms);
    EXPECT_LT(waited, 5s);
  }
  {
    TLoopbackServer talkative(std::string(17, 'a') + "\r\n");
    TWinsockLineClient client;
    ASSERT_EQ(client.Connect("127.0.0.1", talkative.Port(), 2s), TConnectResult::Connected);
    ASSERT_TRUE(client.WriteLine("L", 1s));
    EXPECT_EQ(client.ReadLine(1s, 16).status, TLineStatus::TooLong);
  }
}

TEST(Win32LineClient, ARefusedPortFailsAndNothingGoesOutUnconnected) {
  uint16_t closedPort = 0;
  {
    TLoopbackServer gone("");  // a port that was free a moment ago
    closedPort = gone.Port();
  }
  TWinsockLineClient client;
  EXPECT_EQ(client.Connect("127.0.0.1", closedPort, 5s), TConnectResult::Failed);
  EXPECT_FALSE(client.Connected());
  EXPECT_FALSE(client.WriteLine("L", 1s));
  EXPECT_EQ(client.ReadLine(1s, 16).status, TLineStatus::Failed);
}

// ---------------------------------------------------------------- virtual serial port

TEST(Win32SerialPort, OnlyAnExistingPortIsOpened) {
  EXPECT_EQ(OpenWin32SerialPort("\\\\.\\SNIMAC_NO_SUCH_PORT"), nullptr);
  EXPECT_EQ(OpenWin32SerialPort(""), nullptr);
}

// A pipe stands in for the other end of a port pair: what is written
// arrives, and a write that nobody takes is given up after the time-out.
TEST(Win32SerialPort, WritesArriveAndAnUnreadPortCannotHoldTheWriter) {
  const std::wstring name = L"\\\\.\\pipe\\snimac-serial-" + std::to_wstring(::GetCurrentProcessId());
  const HANDLE pipe = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 64,
                                         0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  auto port = OpenWin32SerialPort(WideToUtf8(name));
  ASSERT_NE(port, nullptr);
  ::ConnectNamedPipe(pipe, nullptr);  // the client is already there

  EXPECT_TRUE(port->Write("1234ab0f\r\n", 10));
  char got[16] = {};
  DWORD n = 0;
  ASSERT_TRUE(::ReadFile(pipe, got, sizeof got, &n, nullptr));
  EXPECT_EQ(std::string(got, n), "1234ab0f\r\n");

  // Far more than the pipe holds, and nobody reads.
  const std::string flood(1 << 20, 'x');
  const auto start = TSteady::now();
  EXPECT_FALSE(port->Write(flood.data(), flood.size()));
  EXPECT_LT(TSteady::now() - start, 10s);
  port.reset();
  ::CloseHandle(pipe);
}

// ---------------------------------------------------------------- COM port D2XX

TEST(Win32ComPortD2xx, ListsTheDevicesOfItsList) {
  const std::string longText(70, 'a');
  const std::string cutInLetter = std::string(62, 'b') + "ř";  // two bytes across byte 63
  TComPortD2xx d2xx({{"COM5", "Reader", "A1B2"},
                     {"COM6", "", "NODESC"},
                     {"COM7", longText, cutInLetter}});
  uint32_t count = 0;
  ASSERT_EQ(d2xx.ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_EQ(count, 3u);

  const auto query = [&](uintptr_t index, uint32_t what, std::string& text) {
    char buffer[kFtStringSize];
    std::memset(buffer, '#', sizeof buffer);
    const FT_STATUS status = d2xx.ListDevices(reinterpret_cast<void*>(index), buffer, FT_LIST_BY_INDEX | what);
    text = std::string(buffer, strnlen(buffer, sizeof buffer));
    return status;
  };
  std::string text;
  EXPECT_EQ(query(0, FT_OPEN_BY_DESCRIPTION, text), FT_OK);
  EXPECT_EQ(text, "Reader");
  EXPECT_EQ(query(0, FT_OPEN_BY_SERIAL_NUMBER, text), FT_OK);
  EXPECT_EQ(text, "A1B2");
  EXPECT_EQ(query(1, FT_OPEN_BY_DESCRIPTION, text), FT_OTHER_ERROR);  // unreadable: skipped
  EXPECT_EQ(query(2, FT_OPEN_BY_DESCRIPTION, text), FT_OK);
  EXPECT_EQ(text, longText.substr(0, 63));
  EXPECT_EQ(query(2, FT_OPEN_BY_SERIAL_NUMBER, text), FT_OK);
  EXPECT_EQ(text, std::string(62, 'b'));  // never half a letter
  EXPECT_EQ(query(3, FT_OPEN_BY_SERIAL_NUMBER, text), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(query(0, 0, text), FT_INVALID_PARAMETER);
  EXPECT_EQ(d2xx.ListDevices(nullptr, nullptr, FT_LIST_NUMBER_ONLY), FT_INVALID_PARAMETER);
}

TEST(Win32ComPortD2xx, OpensOnlyListedSerialPorts) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring file = std::wstring(temp) + L"snimac-not-a-port.txt";
  const HANDLE created = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  ::CloseHandle(created);

  TComPortD2xx d2xx({{"COM199", "Absent", "ABSENT"}, {WideToUtf8(file), "File", "FILE"}});
  FT_HANDLE handle = reinterpret_cast<FT_HANDLE>(uintptr_t{77});
  EXPECT_EQ(d2xx.OpenEx(const_cast<char*>("UNKNOWN"), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(d2xx.OpenEx(const_cast<char*>(""), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(d2xx.OpenEx(const_cast<char*>("ABSENT"), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_OPENED);
  EXPECT_EQ(d2xx.OpenEx(const_cast<char*>("FILE"), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_OPENED);
  EXPECT_EQ(handle, nullptr);
  ::DeleteFileW(file.c_str());

  const FT_HANDLE bogus = reinterpret_cast<FT_HANDLE>(uintptr_t{12345});
  uint32_t n = 0;
  char byte = 0;
  EXPECT_EQ(d2xx.SetBaudRate(bogus, 9600), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx.SetTimeouts(nullptr, 50, 100), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx.SetLatencyTimer(bogus, 2), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx.Read(bogus, &byte, 1, &n), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx.Write(bogus, &byte, 1, &n), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx.Close(bogus), FT_INVALID_HANDLE);
}

TEST(Win32ComPortD2xx, DeviceNames) {
  EXPECT_EQ(ComDeviceName("COM5"), L"\\\\.\\COM5");
  EXPECT_EQ(ComDeviceName("COM12"), L"\\\\.\\COM12");
  EXPECT_EQ(ComDeviceName("\\\\.\\CNCB0"), L"\\\\.\\CNCB0");
  EXPECT_EQ(ComDeviceName("\\\\?\\USB#VID_0403"), L"\\\\?\\USB#VID_0403");
}

// A real serial port whose other end echoes every byte back. The Wine test
// runner links a pseudo-terminal into the prefix as a COM port and names
// it in SNIMAC_TEST_COM_PORT (tests/wine/com_port_check.sh does that too).
class Win32ComPortEcho : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = EnvironmentUtf8("SNIMAC_TEST_COM_PORT").value_or("");
    if (port_.empty()) GTEST_SKIP() << "SNIMAC_TEST_COM_PORT names no echoing COM port";
    d2xx_ = std::make_unique<TComPortD2xx>(std::vector<TListedDevice>{{port_, "Echo", "ECHO"}});
  }

  FT_HANDLE Open() {
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(d2xx_->OpenEx(const_cast<char*>("ECHO"), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
    return handle;
  }

  std::string port_;
  std::unique_ptr<TComPortD2xx> d2xx_;
};

TEST_F(Win32ComPortEcho, SetsTheLineUpAndTransfersBytesWithinTheTimeouts) {
  const FT_HANDLE handle = Open();
  ASSERT_NE(handle, nullptr);
  FT_HANDLE second = nullptr;
  EXPECT_EQ(d2xx_->OpenEx(const_cast<char*>("ECHO"), FT_OPEN_BY_SERIAL_NUMBER, &second), FT_DEVICE_NOT_OPENED);

  EXPECT_EQ(d2xx_->SetBaudRate(handle, 9600), FT_OK);
  EXPECT_EQ(d2xx_->SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE), FT_OK);
  EXPECT_EQ(d2xx_->SetFlowControl(handle, FT_FLOW_NONE, 0, 0), FT_OK);
  EXPECT_EQ(d2xx_->SetDataCharacteristics(handle, 9, FT_STOP_BITS_1, FT_PARITY_NONE), FT_INVALID_PARAMETER);
  EXPECT_EQ(d2xx_->SetFlowControl(handle, 0x0400, 0x11, 0x11), FT_INVALID_PARAMETER);
  EXPECT_EQ(d2xx_->SetTimeouts(handle, 200, 1000), FT_OK);
  EXPECT_EQ(d2xx_->SetLatencyTimer(handle, 2), FT_OK);  // nothing to set on a COM port

  // Nothing to read: FT_OK with no bytes once the read time-out has passed.
  unsigned char buffer[16] = {};
  uint32_t n = 99;
  auto start = TSteady::now();
  EXPECT_EQ(d2xx_->Read(handle, buffer, 1, &n), FT_OK);
  auto waited = TSteady::now() - start;
  EXPECT_EQ(n, 0u);
  EXPECT_GE(waited, 150ms);
  EXPECT_LT(waited, 3s);

  // A frame goes out in one write and comes back byte by byte.
  const unsigned char frame[] = {0xC0, 0x01, 0x7D, 0x5D, 0x00, 0xC1};
  ASSERT_EQ(d2xx_->Write(handle, frame, sizeof frame, &n), FT_OK);
  EXPECT_EQ(n, sizeof frame);
  std::vector<unsigned char> echoed;
  for (size_t i = 0; i < sizeof frame; ++i) {
    unsigned char byte = 0;
    ASSERT_EQ(d2xx_->Read(handle, &byte, 1, &n), FT_OK);
    if (n == 0) break;
    echoed.push_back(byte);
  }
  EXPECT_EQ(echoed, std::vector<unsigned char>(frame, frame + sizeof frame));

  // Fewer bytes than asked for: what came, once the time-out has passed.
  ASSERT_EQ(d2xx_->Write(handle, "abc", 3, &n), FT_OK);
  start = TSteady::now();
  uint32_t total = 0;
  while (total < 3 && TSteady::now() - start < 3s) {
    ASSERT_EQ(d2xx_->Read(handle, buffer + total, sizeof buffer - total, &n), FT_OK);
    total += n;
  }
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), total), "abc");
  EXPECT_EQ(d2xx_->Close(handle), FT_OK);
  EXPECT_EQ(d2xx_->Close(handle), FT_INVALID_HANDLE);
}

TEST_F(Win32ComPortEcho, CloseEndsAReadWithoutTimeOutInAnotherThread) {
  const FT_HANDLE handle = Open();
  ASSERT_NE(handle, nullptr);
  ASSERT_EQ(d2xx_->SetTimeouts(handle, 0, 0), FT_OK);  // 0: wait without limit
  std::atomic<bool> entered{false};
  auto reader = std::async(std::launch::async, [&] {
    unsigned char buffer[8];
    uint32_t n = 0;
    entered = true;
    return d2xx_->Read(handle, buffer, sizeof buffer, &n);
  });
  while (!entered) std::this_thread::yield();
  std::this_thread::sleep_for(100ms);  // the read is waiting in the driver
  EXPECT_EQ(d2xx_->Close(handle), FT_OK);
  ASSERT_EQ(reader.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(reader.get(), FT_IO_ERROR);
  // The port is free again.
  const FT_HANDLE again = Open();
  EXPECT_NE(again, nullptr);
  d2xx_->Close(again);
}

TEST_F(Win32ComPortEcho, AWriteGoesOutWhileAnotherThreadWaitsToRead) {
  const FT_HANDLE handle = Open();
  ASSERT_NE(handle, nullptr);
  ASSERT_EQ(d2xx_->SetTimeouts(handle, 0, 1000), FT_OK);  // the read waits for its bytes
  std::atomic<bool> entered{false};
  auto reader = std::async(std::launch::async, [&] {
    char buffer[3] = {};
    uint32_t n = 0;
    entered = true;
    const FT_STATUS status = d2xx_->Read(handle, buffer, sizeof buffer, &n);
    return status == FT_OK ? std::string(buffer, n) : std::string("status ") + std::to_string(status);
  });
  while (!entered) std::this_thread::yield();
  std::this_thread::sleep_for(100ms);
  uint32_t written = 0;
  EXPECT_EQ(d2xx_->Write(handle, "xyz", 3, &written), FT_OK);
  EXPECT_EQ(written, 3u);
  if (reader.wait_for(5s) != std::future_status::ready) {
    d2xx_->Close(handle);  // lets the reader go
    FAIL() << "the echo never reached the waiting read";
  }
  EXPECT_EQ(reader.get(), "xyz");
  d2xx_->Close(handle);
}

TEST_F(Win32ComPortEcho, TheVirtualSerialPortWritesToASerialPort) {
  auto port = OpenWin32SerialPort(port_.rfind("\\\\", 0) == 0 ? port_ : "\\\\.\\" + port_);
  ASSERT_NE(port, nullptr);
  EXPECT_TRUE(port->Write("1234ab0f\r\n", 10));
}

// An unplugged reader: the other end of the port goes away for good once it
// receives the text in SNIMAC_TEST_COM_HANGUP (com_port_check.sh closes its
// pseudo-terminal then, and the device file vanishes with it).
TEST_F(Win32ComPortEcho, ADeviceThatGoesAwayEndsTheWaitingReadAndEveryLaterCall) {
  const std::string hangUp = EnvironmentUtf8("SNIMAC_TEST_COM_HANGUP").value_or("");
  if (hangUp.empty()) GTEST_SKIP() << "SNIMAC_TEST_COM_HANGUP names no text on which the port's other end hangs up";
  const FT_HANDLE handle = Open();
  ASSERT_NE(handle, nullptr);
  ASSERT_EQ(d2xx_->SetTimeouts(handle, 10000, 1000), FT_OK);
  std::atomic<bool> entered{false};
  auto reader = std::async(std::launch::async, [&] {
    unsigned char byte = 0;
    uint32_t n = 99;
    entered = true;
    const auto start = TSteady::now();
    const FT_STATUS status = d2xx_->Read(handle, &byte, 1, &n);
    return std::make_tuple(status, n, TSteady::now() - start);
  });
  while (!entered) std::this_thread::yield();
  std::this_thread::sleep_for(200ms);  // the read is waiting in the driver
  uint32_t written = 0;
  ASSERT_EQ(d2xx_->Write(handle, hangUp.data(), static_cast<uint32_t>(hangUp.size()), &written), FT_OK);
  ASSERT_EQ(written, hangUp.size());
  if (reader.wait_for(8s) != std::future_status::ready) {
    d2xx_->Close(handle);  // lets the reader go
    FAIL() << "the waiting read did not end when the device went away";
  }
  const auto [status, received, waited] = reader.get();
  EXPECT_EQ(status, FT_IO_ERROR);
  EXPECT_EQ(received, 0u);
  EXPECT_LT(waited, 5s);  // not at the 10 s read time-out

  // Later calls fail too, the next read at once; the link then closes the
  // handle and opens again, which fails while the device is missing.
  unsigned char byte = 0;
  uint32_t n = 99;
  const auto start = TSteady::now();
  EXPECT_EQ(d2xx_->Read(handle, &byte, 1, &n), FT_IO_ERROR);
  EXPECT_LT(TSteady::now() - start, 5s);
  EXPECT_EQ(d2xx_->Write(handle, "x", 1, &n), FT_IO_ERROR);
  EXPECT_EQ(d2xx_->SetBaudRate(handle, 9600), FT_IO_ERROR);
  EXPECT_EQ(d2xx_->SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE), FT_IO_ERROR);
  EXPECT_EQ(d2xx_->SetFlowControl(handle, FT_FLOW_NONE, 0, 0), FT_IO_ERROR);
  EXPECT_EQ(d2xx_->SetTimeouts(handle, 100, 100), FT_IO_ERROR);
  EXPECT_EQ(d2xx_->Close(handle), FT_OK);
  FT_HANDLE again = nullptr;
  EXPECT_EQ(d2xx_->OpenEx(const_cast<char*>("ECHO"), FT_OPEN_BY_SERIAL_NUMBER, &again), FT_DEVICE_NOT_OPENED);
  EXPECT_EQ(again, nullptr);
}

// ---------------------------------------------------------------- UTF-8 file names

// The attendance file, the link log and directory creation under a folder
// whose name needs more than the ANSI code page.
TEST(Win32Utf8Files, CzechFolderNamesWork) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring base = std::wstring(temp) + L"snimac-" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring folder = base + L"\\Příliš žluťoučký kůň";
  const std::string utf8Folder = WideToUtf8(folder);

  ASSERT_TRUE(CreateDirectories(utf8Folder + "\\vestibar"));
  const DWORD attributes = ::GetFileAttributesW((folder + L"\\vestibar").c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);

  const std::string db = utf8Folder + "\\vestibar\\docházka.db";
  {
    auto file = TStdioAttendanceFile::Open(db);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->Append("06/12/2026-14:10 1234ab0f"));
    EXPECT_TRUE(file->Flush());
  }
  const std::wstring wideDb = folder + L"\\vestibar\\docházka.db";
  EXPECT_NE(::GetFileAttributesW(wideDb.c_str()), INVALID_FILE_ATTRIBUTES);
  const HANDLE read = ::CreateFileW(wideDb.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(read, INVALID_HANDLE_VALUE);
  char bytes[64] = {};
  DWORD n = 0;
  ::ReadFile(read, bytes, sizeof bytes, &n, nullptr);
  ::CloseHandle(read);
  EXPECT_EQ(std::string(bytes, n), "06/12/2026-14:10 1234ab0f\r\n");

  TWin32Clock clock;
  {
    mqLog log(utf8Folder + "\\grab-A1B2.log", clock);
    EXPECT_TRUE(log.IsOpen());
  }
  EXPECT_NE(::GetFileAttributesW((folder + L"\\grab-A1B2.log").c_str()), INVALID_FILE_ATTRIBUTES);

  ::DeleteFileW(wideDb.c_str());
  ::DeleteFileW((folder + L"\\grab-A1B2.log").c_str());
  ::RemoveDirectoryW((folder + L"\\vestibar").c_str());
  ::RemoveDirectoryW(folder.c_str());
  ::RemoveDirectoryW(base.c_str());
}

}  // namespace
}  // namespace snimac
