// The upgrade procedure driven by hand: the commands it hands the link, its
// answers to loader replies, time-outs and close requests, on a virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "link/proto_slave_dev.h"
#include "link/protocol.h"
#include "sim/virtual_clock.h"
#include "app/upgrade_ui_on_view.h"
#include "tests/support/fake_ui.h"
#include "tests/support/hex.h"
#include "tests/support/scripted_d2xx.h"
#include "upgrade/upgrade_frm.h"

namespace snimac::test {
namespace {

const std::string kUnlock = "12 5A A5";
const char* const kH8FailHead = "Při aktualizaci snímače došlo k chybě. Kontaktujte prosím HelpDesk OVT, (100 20 3000)\nOpište si prosím následující chybový kód:";
const char* const kAvrFailHead = "Při aktualizaci snímače došlo k chybě. Kontaktujte prosím HelpDesk OVT (100 20 3000)\nOpište si prosím následující chybový kód:";

struct TProcedure {
  TProcedure() {
    link.Open("A1B2", "");
    endpoint.Open(-1, 1);
    frm = std::make_unique<TUpgradeFrm>(upgradeUi);
    frm->AttachSlave(&endpoint);
    frm->FormShow();
  }
  ~TProcedure() { frm.reset(); }

  // The next command, as hex ("" when none), and whether it ends the burst.
  std::string Next() {
    TProtoMessagePtr m = frm->GetNextPacket();
    ui.RunPosted();
    if (!m) return "";
    lastEndsBurst = m->EndsBurst;
    return ToHex(TBytes(m->Data.get(), m->Data.get() + m->Length));
  }
  void Reply(const std::string& hex) {
    const TBytes b = Hex(hex);
    frm->ProcessPacket(TProtoMessage(b.data(), static_cast<int>(b.size()), true));
  }
  // Lets the 10 s time-out expire.
  void Timeout() {
    clock.Advance(10'000'000);
    ui.Pump();
  }
  // Detection up to the image selection.
  void DetectH8(const std::string& bank = "10 00", const std::string& address = "00 00 20 00") {
    EXPECT_EQ(Next(), "16 09");
    Reply("88 09 " + bank);
    EXPECT_EQ(Next(), "16 01");
    Reply("88 01 " + address);
  }
  void DetectAvr(const std::string& address = "00 00 A0 00") {
    EXPECT_EQ(Next(), "16 09");
    Reply("88 09");
    EXPECT_EQ(Next(), "16 01");
    Reply("88 01 " + address);
  }
  // The 16 data chunks of one page, then the unlock; returns the page write.
  std::string SendPage() {
    for (int i = 0; i < 16; ++i) {
      const std::string chunk = Next();
      EXPECT_EQ(chunk.substr(0, 5), "13 " + ToHex({static_cast<uint8_t>(i * 8)})) << i;
      EXPECT_FALSE(lastEndsBurst);
    }
    EXPECT_EQ(Next(), kUnlock);
    EXPECT_FALSE(lastEndsBurst);
    const std::string write = Next();
    EXPECT_TRUE(lastEndsBurst);
    return write;
  }
  std::string LastBox() { return ui.boxes.empty() ? "" : ui.boxes.back(); }
  int8_t State() { return frm->CurrentState(); }

  sim::TVirtualClock clock;
  TScriptedD2xx d2xx{clock};
  TProtocol link{d2xx, clock, nullptr, TThreadWatch::Forever(), TProtocol::TStart::Manual};
  TProtoSlaveDev endpoint{link, nullptr};
  TFakeUi ui{clock};
  TUpgradeUiOnView upgradeUi{ui};
  std::unique_ptr<TUpgradeFrm> frm;
  bool lastEndsBurst = false;
};

std::string WriteAddress(const std::string& pageWrite) { return pageWrite.substr(9); }

TEST(UpgradeProcedure, H8HighBankErasesFiveAndSixThenWritesFrom8000) {
  TProcedure p;
  p.DetectH8("10 00");
  EXPECT_EQ(p.Next(), kUnlock);
  EXPECT_TRUE(p.lastEndsBurst);
  EXPECT_EQ(p.Next(), "15 58 2A 05");
  EXPECT_EQ(p.Next(), "");
  p.Reply("87 00 05 00");
  EXPECT_EQ(p.Next(), kUnlock);
  EXPECT_EQ(p.Next(), "15 6A B1 06");
  p.Reply("87 00 06 00");
  EXPECT_EQ(WriteAddress(p.SendPage()), "80 00");
  EXPECT_EQ(p.ui.progressMaximum, 0x4312);
  EXPECT_EQ(p.ui.progress.back(), 0);

  TProcedure low;
  low.DetectH8("80 00");
  EXPECT_EQ(low.Next(), kUnlock);
  EXPECT_EQ(low.Next(), "15 49 A3 04");
  low.Reply("87 00 04 00");
  EXPECT_EQ(WriteAddress(low.SendPage()), "10 00");
}

TEST(UpgradeProcedure, FamilyAndAddressChecks) {
  struct TCase {
    std::string bankReply, address, fatal;  // fatal "" = accepted
  };
  const std::vector<TCase> cases = {
      {"88 09 10 00", "00 00 2F FF", ""},
      {"88 09 10 00", "00 00 30 00", "H8 Addr 3000"},
      {"88 09 80 00", "00 00 1F FF", "H8 Addr 1fff"},
      {"88 09", "00 01 00 00", ""},
      {"88 09", "00 00 8F FF", "AVR Addr 8fff"},
      {"88 09", "00 01 00 01", "AVR Addr 10001"},
      {"88 09 40 00", "00 00 20 00", "Base 4000 A=2000"},
      {"88 09 10", "00 00 20 00", "Base dead A=2000"},  // one value byte: no bank base
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bankReply + " / " + c.address);
    TProcedure p;
    EXPECT_EQ(p.Next(), "16 09");
    p.Reply(c.bankReply);
    EXPECT_EQ(p.Next(), "16 01");
    p.Reply("88 01 " + c.address);
    if (c.fatal.empty()) {
      EXPECT_NE(p.State(), TUpgradeFrm::Finished);
      EXPECT_TRUE(p.ui.boxes.empty());
    } else {
      EXPECT_EQ(p.State(), TUpgradeFrm::Finished);
      EXPECT_EQ(p.LastBox(), std::string("Upgrade|") + kH8FailHead + c.fatal +
                                 "\nSnímač můžete dále používat, při spuštění obslužného programu zamítněte aktualizaci.");
      EXPECT_TRUE(p.frm->Closed());
    }
  }
}

TEST(UpgradeProcedure, RepliesThatDoNotFitAreIgnored) {
  TProcedure p;
  p.Reply("88 09 10 00");  // not asked yet
  EXPECT_EQ(p.State(), TUpgradeFrm::QueryBank);
  p.Next();
  p.Reply("88 01 00 00 20 00");  // the wrong question
  EXPECT_EQ(p.State(), TUpgradeFrm::WaitBank);
  p.Reply("88 09 10 00");
  p.Next();
  p.Reply("88 01 00 00 20");  // too short to carry the address
  EXPECT_EQ(p.State(), TUpgradeFrm::WaitAddress);
  p.Reply("88 01 00 00 20 00");
  p.Next();
  p.Next();
  p.Reply("87 00 05");        // too short
  p.Reply("87 00 06 00");     // another block
  p.Reply("A1");              // the reader lost: ignored
  EXPECT_EQ(p.State(), TUpgradeFrm::WaitErase);
}

TEST(UpgradeProcedure, EraseRetriesAndTimeouts) {
  TProcedure p;
  p.DetectH8();
  p.Next();
  p.Next();
  p.Reply("87 00 05 03");  // again, without spending budget
  EXPECT_EQ(p.Next(), kUnlock);
  EXPECT_EQ(p.Next(), "15 58 2A 05");
  p.Reply("87 00 05 04");
  EXPECT_EQ(p.Next(), kUnlock);
  EXPECT_EQ(p.Next(), "15 58 2A 05");
  p.Timeout();  // the first erase time-out: unlock and erase again
  EXPECT_EQ(p.Next(), kUnlock);
  EXPECT_EQ(p.Next(), "15 58 2A 05");
  p.Timeout();
  EXPECT_EQ(p.State(), TUpgradeFrm::Finished);
  EXPECT_NE(p.LastBox().find("Erase timeout s=12 a=5"), std::string::npos);
}

TEST(UpgradeProcedure, EraseErrorsSpendTheBudget) {
  TProcedure p;
  p.DetectH8();
  for (const char* result : {"01", "02", "D1", "F2"}) {
    p.Next();
    EXPECT_EQ(p.Next(), "15 58 2A 05");
    p.Reply(std::string("87 00 05 ") + result);
    EXPECT_EQ(p.State(), TUpgradeFrm::UnlockErase) << result;
  }
  p.Next();
  p.Next();
  p.Reply("87 00 05 E1");
  EXPECT_EQ(p.State(), TUpgradeFrm::Finished);
  EXPECT_EQ(p.LastBox(), std::string("Upgrade|") + kH8FailHead + "Erase error a=0005 r=e1" +
                             "\nSnímač můžete dále používat, při spuštění obslužného programu zamítněte aktualizaci.");
}

TEST(UpgradeProcedure, TheFifthErrorIsFatalWhereverTheFourBeforeFell) {
  TProcedure p;
  p.DetectH8("80 00");
  p.Next();
  p.Next();
  p.Reply("87 00 04 01");  // erase error 1 of 5
  p.Next();
  p.Next();
  p.Reply("87 00 04 00");
  std::string write = p.SendPage();
  p.Reply("87 10 00 D1");  // write error 2: re-commit without data
  EXPECT_EQ(p.Next(), "13 80");
  EXPECT_EQ(p.Next(), kUnlock);
  EXPECT_EQ(p.Next(), write);
  p.Reply("87 10 00 05");  // no effect...
  EXPECT_EQ(p.State(), TUpgradeFrm::WaitWrite);
  p.Timeout();             // ...the time-out decides: error 3
  EXPECT_EQ(p.Next(), "13 80");
  p.Next();
  EXPECT_EQ(p.Next(), write);
  p.Reply("87 10 00 03");  // the whole page again
  EXPECT_EQ(p.SendPage(), write);
  p.Reply("87 10 00 04");  // unlock and write again, no data
  EXPECT_EQ(p.Next(), kUnlock);
  EXPECT_EQ(p.Next(), write);
  p.Reply("87 10 00 00");
  const std::string second = p.SendPage();
  EXPECT_EQ(WriteAddress(second), "10 80");
  p.Reply("87 10 80 F2");  // error 4
  p.Next();
  p.Next();
  p.Next();
  p.Reply("87 10 80 02");  // error 5: fatal
  EXPECT_EQ(p.State(), TUpgradeFrm::Finished);
  EXPECT_NE(p.LastBox().find("Write error a=1080 r=02"), std::string::npos);
}

TEST(UpgradeProcedure, AvrRunsInTheLoaderAndFailsOutOfIt) {
  TProcedure p;
  p.DetectAvr();
  EXPECT_EQ(p.State(), TUpgradeFrm::WaitLoader);
  {
    std::lock_guard<std::recursive_mutex> guard(p.link.Lock());
    EXPECT_EQ(p.endpoint.Identity, 0x7FFFFFFF);  // the link restarted with the loader flag
  }
  EXPECT_EQ(p.Next(), "");
  p.Reply("A0");  // the loader answers
  EXPECT_EQ(WriteAddress(p.SendPage()), "00 00");
  // Closing while the loader is written asks with the warning.
  p.ui.answers = {TMessageResult::No};
  p.frm->CloseRequested();
  EXPECT_FALSE(p.frm->Closed());
  EXPECT_NE(p.LastBox().find("snímač pravděpodobně nebude fungovat do servisního zásahu"), std::string::npos);
  for (int i = 0; i < 4; ++i) {
    p.Timeout();  // a write time-out: the page is committed again
    EXPECT_EQ(p.Next(), "13 80");
    EXPECT_EQ(p.Next(), kUnlock);
    EXPECT_EQ(WriteAddress(p.Next()), "00 00");
  }
  p.Timeout();  // the fifth write time-out
  EXPECT_EQ(p.State(), TUpgradeFrm::Finished);
  EXPECT_EQ(p.LastBox(), std::string("Upgrade|") + kAvrFailHead + "Write timeout s=16 a=0000" +
                             "\nPokud snímač svítí, můžete jej dále používat, při dalším spuštění obslužného "
                             "programu zamítněte aktualizaci.");
  std::lock_guard<std::recursive_mutex> guard(p.link.Lock());
  EXPECT_EQ(p.endpoint.Identity, -1);  // back out of the loader
}

TEST(UpgradeProcedure, WakesAndCloseQuestionsByState) {
  TProcedure p;
  p.Reply("A0");  // ignored before the loader is waited for
  EXPECT_EQ(p.State(), TUpgradeFrm::QueryBank);
  p.ui.answers = {TMessageResult::No};
  p.frm->CloseRequested();
  EXPECT_FALSE(p.frm->Closed());
  EXPECT_NE(p.LastBox().find("aktualizace se zopakuje při přístím spuštění"), std::string::npos);

  TProcedure avr;
  avr.DetectAvr();
  avr.ui.answers = {TMessageResult::Yes};
  avr.frm->CloseRequested();  // state 4: the milder question
  EXPECT_TRUE(avr.frm->Closed());
  EXPECT_NE(avr.LastBox().find("Ukončit aktualizaci?"), std::string::npos);
}

TEST(UpgradeProcedure, H8RestartWaitsWithRemindersAndCompletes) {
  TProcedure p;
  p.DetectH8();
  p.Next();
  p.Next();
  p.Reply("87 00 05 00");
  p.Next();
  p.Next();
  p.Reply("87 00 06 00");
  int pages = 0;
  int lastOffset = -1;
  while (p.State() != TUpgradeFrm::SendRestart) {
    const std::string write = p.SendPage();
    ++pages;
    lastOffset = p.ui.progress.back();
    p.Reply("87 " + WriteAddress(write) + " 00");
  }
  EXPECT_EQ(pages, 135);
  EXPECT_EQ(lastOffset, 0x4300);  // the last page's offset, not the image size
  EXPECT_EQ(p.Next(), "19");
  p.Timeout();
  p.Timeout();
  EXPECT_EQ(std::count(p.ui.boxes.begin(), p.ui.boxes.end(), "Upgrade|Odpojte a znovu připojte snímač, prosím"), 2);
  p.Reply("A0");
  EXPECT_EQ(p.LastBox(), "Upgrade|Aktualizace byla uspešně dokončena");
  EXPECT_TRUE(p.frm->Closed());
}

TEST(UpgradeProcedure, AvrWritesThePagesBelowTheUsedLengthThenTheLast) {
  TProcedure p;
  p.DetectAvr();
  p.Reply("A0");
  std::vector<std::string> addresses;
  while (p.State() != TUpgradeFrm::WaitApplication) {
    const std::string write = p.SendPage();
    addresses.push_back(WriteAddress(write));
    p.Reply("87 " + WriteAddress(write) + " 00");
  }
  EXPECT_EQ(addresses.size(), 133u);
  EXPECT_EQ(addresses[131], "41 80");
  EXPECT_EQ(addresses[132], "6F 80");
  {
    std::lock_guard<std::recursive_mutex> guard(p.link.Lock());
    EXPECT_EQ(p.endpoint.Identity, -1);  // application addressing again
  }
  p.Reply("A0");
  EXPECT_EQ(p.LastBox(), "Upgrade|Aktualizace byla uspešně dokončena");
}


// Once the user has confirmed the close, the window hands the link nothing
// more (no question, unlock, page data or write), whatever state it was in,
// and neither late replies nor time-outs start it again.
TEST(UpgradeProcedure, AClosedWindowSendsNothingMore) {
  struct TCase {
    const char* where;
    std::function<void(TProcedure&)> reach;
    std::string lateReply;
  };
  const std::vector<TCase> cases = {
      {"before the first question", [](TProcedure&) {}, "88 09 10 00"},
      {"before the erase", [](TProcedure& p) { p.DetectH8(); }, "87 00 05 00"},
      {"within a page",
       [](TProcedure& p) {
         p.DetectH8("80 00");
         p.Next();  // unlock
         p.Next();  // erase
         p.Reply("87 00 04 00");
         p.Next();  // the page's first chunk
       },
       "87 00 10 00"},
      {"within a page in the loader",
       [](TProcedure& p) {
         p.DetectAvr();
         p.Reply("A0");
         p.Next();
       },
       "A0"},
  };
  for (const auto& c : cases) {
    TProcedure p;
    c.reach(p);
    p.ui.answers = {TMessageResult::Yes};
    p.frm->CloseRequested();
    ASSERT_TRUE(p.frm->Closed()) << c.where;
    EXPECT_EQ(p.Next(), "") << c.where;
    p.Reply(c.lateReply);
    EXPECT_EQ(p.Next(), "") << c.where;
    p.Timeout();
    EXPECT_EQ(p.Next(), "") << c.where;
  }
}

}  // namespace
}  // namespace snimac::test
