// Saving and loading the result pane; the six file slots.
#include "main_window.h"

void TForm1::RegisterSlot(const std::string&) {}
void TForm1::UpdateSlotCaptions() {}
void TForm1::OpenSlot(int) {}
void TForm1::N12Click() {}
void TForm1::N11Click() {}
void TForm1::N21Click() {}
void TForm1::N22Click() {}
bool TForm1::LoadPane(const std::string&) {
    return false;
}
bool TForm1::SavePane(const std::string&) {
    return false;
}
