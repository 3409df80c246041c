// The task menu.
#include "menu/taskmenu.h"

#include "config/log.h"

bool CloseTapFlag = false;

void ShowTaskMenu() {
    if (appLog)
        appLog->Write(2, "ShowTaskMenu()");
}
