#include "setup/window_texts.h"

#include <stdexcept>
#include <string>

namespace tarvo::setup {

namespace {

constexpr TWindowText kTexts[] = {
    {"frmMain", "BVBA T.Arvo - Setup"},
    {"btCANCEL", "&Annuleer"},
    {"btNEXT", "Volgende >"},
    {"btFINISH", "Voltooien"},
    // Page 0: language
    {"lbTitleTaal", "BVBA T.Arvo"},
    {"lbKiesTaal", "Kies uw taal"},
    {"rbNEDERLANDS", "Nederlands"},
    {"rbFRANS", "Français"},
    // Page 1: welcome
    {"lbTitleStart", "Welkom bij het installatie programma voor T.Arvo"},
    {"lbStart", "Deze routine zal T.Arvo op uw computer installeren. Kies voor Volgende om door te gaan."},
    // Page 2: location
    {"lbTitleLocatie", "Locatie"},
    {"lbLocatie", "Selecteer een schijf waarop u het programma wenst te installeren"},
    // Page 3: proxy
    {"lbTitleProxy", "Proxy Instellingen"},
    {"lbProxy1", "Het installatie programma zal de nodige componenten downloaden en installeren."},
    {"lbProxy2",
     "Het installatie programma vereist hiervoor toegang tot het internet .  Schakel eventueel uw firewall "
     "programma uit."},
    {"lbProxy3", "Indien u over een proxyserver beschikt kan u hier de gegevens ingeven."},
    {"PROXY_USE", "Een proxyserver gebruiken"},
    {"lbProxyAdres", "Adres"},
    {"lbProxyPoort", "Poort"},
    // Page 4: components being installed
    {"lbTitleInstallMain", "Vooruitgang"},
    {"lbInstallMain1", "Even geduld aub."},
    {"lbInstallMain2", "De componenten worden gedownload en geïnstalleerd"},
    // Page 5: data
    {"lbTitleData", "Gegevens installeren"},
    {"rbSERVER", "Installeer de gegevens op de PC"},
    {"lbServer", "Installeer een leeg gegevens bestand"},
    {"rbWORKSTATION", "Installeer GEEN gegevens."},
    {"lbWorkstation", "De gegevens zijn aanwezig of  staan op een andere PC/Server"},
    {"lbGegevensLocatie", "Locatie voor de gegevens"},
    // Page 6: data being installed
    {"lbTitleInstallData", "Gegevens Installeren"},
    {"lbInstallData1", "Even geduld aub"},
    {"lbInstallData2", "De gegevens worden geïnstalleerd"},
    // Page 7: done
    {"lbTitleEinde", "Installatie voltooid"},
    {"lbEinde",
     "Deze routine heeft met succes T.Arvo op uw computer geïnstalleerd. Klik op Voltooien om af te sluiten."},
    // Page 8: aborted
    {"lbTitleAbort", "Installatie is niet voltooid"},
    {"lbAbort1",
     "Het programma is niet succesvol geïnstalleerd op uw PC. Het progamma zal mogelijk niet correct werken."},
    {"lbAbort2", "Voer de installatie later opnieuw uit."},
    {"lbAbort3", "Neem contact op met Morvel BVBA indien het probleem zich blijft voordoen."},
    // Messages
    {"", "WAARSCHUWING"},
    {"", "De installatie is niet voltooid."},
    {"", "Bent u zeker ?"},
    {"", "De installatie werd onderbroken."},  // the silent mode, after Ctrl-C or SIGTERM
};

}  // namespace

std::span<const TWindowText> WindowTexts() { return kTexts; }

const char* WindowText(std::string_view component) {
  for (const TWindowText& t : kTexts)
    if (*t.Component && component == t.Component) return t.Text;
  throw std::logic_error("no window text for " + std::string(component));
}

}  // namespace tarvo::setup
