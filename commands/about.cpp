#include "core/char_string.h"
#include "host/bot_instance.h"

// When the library was built, as "Mmm dd yyyy" and "hh:mm:ss". The build sets
// both from SOURCE_DATE_EPOCH when it is given, so that builds can be
// reproduced; otherwise the compiler's own stamp is used.
#ifndef KADREL_BUILD_DATE
#define KADREL_BUILD_DATE __DATE__
#define KADREL_BUILD_TIME __TIME__
#endif

namespace kadrel {

namespace {

const char versionLine[] = "\"Kadrel\" " KADREL_VERSION " compiled on " KADREL_BUILD_DATE " " KADREL_BUILD_TIME;
const char authorshipLine[] = "Written by the Kadrel developers";

}  // namespace

void BotInstance::showAbout(const HostPlayer& sender, const ChatCommand&) {
    CharString interfaceLine("DLL core version: ");
    interfaceLine.appendNumber(interfaceMajor);
    interfaceLine.append(".");
    interfaceLine.appendNumber(interfaceMinor);

    sayPrivate(sender, versionLine);
    sayPrivate(sender, interfaceLine.text());
    sayPrivate(sender, authorshipLine);
}

}  // namespace kadrel
