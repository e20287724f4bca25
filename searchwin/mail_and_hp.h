// TMailAndHP: opens a web address with the system's shell.
#pragma once

#include <string>

class TMailAndHP {
  public:
    bool Opened = false;                     // whether the shell took the last OpenHomePage
    std::string MailAddress;                 // kept for the form; nothing sends mail
    std::string HomePageAddress = "http://"; // Shift-JIS; its non-ASCII bytes are sent as is

    // Asks the shell to open HomePageAddress in the browser.
    void OpenHomePage();

    // The address as the shell takes it: every byte that an address cannot hold as it stands
    // (Shift-JIS bytes, blanks, control codes, and "\"<>\\^`{|}[]#" and a "%" that starts no
    // escape) becomes %hh, so a search engine that asked for Shift-JIS receives exactly the
    // keywords' bytes.
    static std::string EncodeAddress(const std::string& address);
};
