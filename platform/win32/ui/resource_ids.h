/* Resource identifiers shared by snimac.rc and the front end (plain C: the
   resource compiler reads this file too). */
#pragma once

#define IDI_SNIMAC 1 /* the application's and the main window's icon */
#define IDI_TRAY 2   /* the 16 x 16 picture in the notification area */
