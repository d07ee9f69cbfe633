; The installer's own texts, Czech (the program's language) and English.

LangString WelcomeText ${LANG_CZECH} "Průvodce nainstaluje program ${PRODUCT_NAME} ${VERSION}, který obsluhuje čtečku karet připojenou přes převodník USB od firmy FTDI a běží v oznamovací oblasti.$\r$\n$\r$\nKnihovna FTD2XX.DLL není součástí této instalace: dodává ji ovladač převodníku od firmy FTDI (ovladač CDM), který se instaluje zvlášť. Bez ní program při spuštění ohlásí, že knihovnu FTD2XX.DLL nelze načíst.$\r$\n$\r$\n$_CLICK"
LangString WelcomeText ${LANG_ENGLISH} "This wizard installs ${PRODUCT_NAME} ${VERSION}, the program that drives a card reader attached through an FTDI USB converter and lives in the notification area.$\r$\n$\r$\nFTD2XX.DLL is not part of this installation: the FTDI converter's driver (the CDM driver), installed separately, provides it. Without it the program reports at start that FTD2XX.DLL cannot be loaded.$\r$\n$\r$\n$_CLICK"

LangString FinishText ${LANG_CZECH} "Program ${PRODUCT_NAME} je nainstalován. Spustíte jej z nabídky Start, se zvoleným spouštěním při přihlášení se spouští sám."
LangString FinishText ${LANG_ENGLISH} "${PRODUCT_NAME} is installed. Start it from the Start menu; with Start at logon chosen it starts by itself."

LangString RunNowText ${LANG_CZECH} "Spustit ${PRODUCT_NAME}"
LangString RunNowText ${LANG_ENGLISH} "Run ${PRODUCT_NAME}"

LangString DriverFound ${LANG_CZECH} "Knihovna FTD2XX.DLL ovladače převodníku je nainstalována."
LangString DriverFound ${LANG_ENGLISH} "The converter driver's FTD2XX.DLL is installed."
LangString DriverMissing ${LANG_CZECH} "Knihovna FTD2XX.DLL v systémové složce chybí: nainstalujte ovladač převodníku od firmy FTDI (FTD2XX.DLL není součástí této instalace)."
LangString DriverMissing ${LANG_ENGLISH} "FTD2XX.DLL is missing from the system folder: install the FTDI converter's driver (FTD2XX.DLL is not part of this installation)."

LangString SecProgramName ${LANG_CZECH} "Program ${PRODUCT_NAME}"
LangString SecProgramName ${LANG_ENGLISH} "${PRODUCT_NAME} program"
LangString SecProgramText ${LANG_CZECH} "snimac.exe (na 64bitových Windows 64bitový, jinak 32bitový), zástupce v nabídce Start a odinstalace."
LangString SecProgramText ${LANG_ENGLISH} "snimac.exe (64-bit on 64-bit Windows, 32-bit otherwise), the Start menu entry and the uninstaller."
LangString SecAutostartName ${LANG_CZECH} "Spouštět při přihlášení"
LangString SecAutostartName ${LANG_ENGLISH} "Start at logon"
LangString SecAutostartText ${LANG_CZECH} "Program se spustí při přihlášení každého uživatele a čeká v oznamovací oblasti."
LangString SecAutostartText ${LANG_ENGLISH} "The program starts at every user's logon and waits in the notification area."

LangString ShortcutComment ${LANG_CZECH} "Čtečka karet v oznamovací oblasti"
LangString ShortcutComment ${LANG_ENGLISH} "The card reader in the notification area"

LangString ClosingProgram ${LANG_CZECH} "Ukončuje se běžící program ${PRODUCT_NAME}..."
LangString ClosingProgram ${LANG_ENGLISH} "Closing the running ${PRODUCT_NAME}..."
LangString ProgramStillRuns ${LANG_CZECH} "Program ${PRODUCT_NAME} stále běží (možná u jiného uživatele), soubor $INSTDIR\snimac.exe nelze změnit. Ukončete jej zavřením jeho okna a zvolte Opakovat."
LangString ProgramStillRuns ${LANG_ENGLISH} "${PRODUCT_NAME} is still running (perhaps for another user), so $INSTDIR\snimac.exe cannot be changed. End it by closing its window, then choose Retry."
