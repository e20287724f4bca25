// Result pane commands: markers, bracket removal, fonts and colours, copy, find, print, help.
#include "main_window.h"

#include "result_pane.h"

void TForm1::N1Click() {}
void TForm1::SetMarker(std::uint32_t color) {
    MarkerColor = color;
    MarkerActive = true;
}
void TForm1::N24Click() {
    MarkerActive = false;
}
void TForm1::RichEdit1SelectionChange() {}
void TForm1::Font1Click() {
    FontColorsChanged = true;
}
void TForm1::SetPaneFontSize(int points) {
    RichEdit1->SetFontPointSize(points);
}
void TForm1::N25Click() {
    FontColorsChanged = true;
}
void TForm1::PickBracketColor(std::uint32_t&) {}
void TForm1::BitBtn1Click() {}
void TForm1::BitBtn3Click() {}
void TForm1::FindDialog1Find(const std::string&) {}
void TForm1::BitBtn4Click() {}
void TForm1::BitBtn2Click() {}
std::int64_t TForm1::ColorBracketGroup() {
    return -1;
}
