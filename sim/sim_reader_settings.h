// A simulated reader's configuration from named text settings, so that the
// demo can pick the reader family, its firmware and its faults from the
// environment. Portable: the caller supplies the lookup.
//
//   SNIMAC_SIM_FAMILY            none | h8 | avr
//   SNIMAC_SIM_VERSION           version text of the program in flash
//   SNIMAC_SIM_BANK              low | high: the H8 bank running at power-on
//   SNIMAC_SIM_REPORTED_ADDRESS  hex: the answer to info query 0x01
//   SNIMAC_SIM_UNLOCK            4 hex digits: the unlock code
//   SNIMAC_SIM_ERASE_MS, SNIMAC_SIM_WRITE_MS, SNIMAC_SIM_RESTART_MS
//                                decimal: erase, page write and H8 restart times
//   SNIMAC_SIM_HANG              comma list of restart (H8 stays down after the
//                                restart command), loader, application (AVR:
//                                silent once switched to it)
//   SNIMAC_SIM_LOADER_FAULTS     comma list of OP:TARGET:ACTION[:TIMES]
//                                OP info | erase | write; TARGET hex selector,
//                                block or page address, or any; ACTION silent
//                                or a hex result code; TIMES decimal or all
//                                (default 1), e.g. "write:8000:e1:2,erase:5:silent"
#pragma once

#include <functional>
#include <string>

#include "sim/sim_reader.h"

namespace snimac::sim {

// `get(name)` gives a setting's text, "" when it is unset; unset settings keep
// the value they have in `base`. Throws std::invalid_argument, naming the
// setting, for a value it does not understand.
TSimReaderConfig SimReaderConfigFromSettings(const std::function<std::string(const std::string& name)>& get,
                                             TSimReaderConfig base = {});

}  // namespace snimac::sim
