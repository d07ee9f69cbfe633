// The upgrade window's texts (UTF-8).
#pragma once

namespace snimac::upgrade_texts {

inline constexpr const char* kCaption = "Upgrade";
// The window's one line under its progress bar.
inline constexpr const char* kInProgress = "Probíhá aktualizace snímače.";
inline constexpr const char* kDone = "Aktualizace byla uspešně dokončena";
inline constexpr const char* kReplug = "Odpojte a znovu připojte snímač, prosím";

inline constexpr const char* kFailLoaderHead =
    "Při aktualizaci snímače došlo k chybě. Kontaktujte prosím HelpDesk OVT (100 20 3000)\n"
    "Opište si prosím následující chybový kód:";
inline constexpr const char* kFailLoaderTail =
    "\nPokud snímač svítí, můžete jej dále používat, při dalším spuštění obslužného programu zamítněte aktualizaci.";
inline constexpr const char* kFailHead =
    "Při aktualizaci snímače došlo k chybě. Kontaktujte prosím HelpDesk OVT, (100 20 3000)\n"
    "Opište si prosím následující chybový kód:";
inline constexpr const char* kFailTail =
    "\nSnímač můžete dále používat, při spuštění obslužného programu zamítněte aktualizaci.";

inline constexpr const char* kCloseInLoader =
    "Aktualizace nebyla dokončena. Pokud aktualizaci ukončíte nyní,snímač pravděpodobně nebude fungovat do "
    "servisního zásahu.\nPokud se vyskytl problém s aktualizací, nezavírejte toto okno a kontaktujte prosím "
    "HelpDesk OVT (100 20 3000)\nOpravdu si přejete ukončit aktualizaci?";
inline constexpr const char* kClose =
    "Aktualizace nebyla dokončena. Aktualizaci můžete ukončit a snímač dále používat, aktualizace se zopakuje "
    "při přístím spuštění ovládacího programu.\nPokud se vyskytl problém s aktualizací, kontaktujte prosím "
    "HelpDesk OVT (100 20 3000)Ukončit aktualizaci?";

}  // namespace snimac::upgrade_texts
