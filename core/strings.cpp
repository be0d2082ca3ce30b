#include "core/strings.h"

#include <map>
#include <mutex>

namespace quorvex {

namespace {

struct Entry {
  int id;
  const char* text;
};

// English at the id, German at id + 512. Texts are UTF-8.
constexpr Entry kTexts[] = {
    {1, "Scanning Keywords"},
    {2, "Converting Bitmaps"},
    {3, "Extracting Baggage"},
    {4, "Reading Context File"},
    {5, "Creating [MAP]"},
    {6, "Scanning Browse Sequences"},
    {7, "Reading Topics"},
    {8, "Loading System File"},
    {10, "Lookup for Topicoffset 0x%08lX for MAP failed"},
    {11, "Illegal Hotspot Data"},
    {12, "Illegal Secondary Window Number Reference 0x%02x"},
    {13, "Illegal Font Selection"},
    {14, "Illegal Macro Hotspot"},
    {15, "Hotspotend without Hotspotstart"},
    {16, "Illegal Bitmap Reference 0x%04x"},
    {17, "Table Format not Supported"},
    {19, "Topic #%ld does not have a Context Id"},
    {20, "Unknown TopicLink-Record Type %d"},
    {21, "Phrases Header: Expected Size 0x%08lX, found 0x%08lX"},
    {31,
     "Can't Create %s.\n\nThis file may be in use by another application. If not, you may have "
     "tried to write to a CD-ROM or a write-protected area, or your TEMP environment variable "
     "does not point to a valid directory."},
    {32, "Invalid .SHG or .MRB file! Type: %c%c"},
    {33, "Unknown sfImageType value 0x%x in file %s.SHG."},
    {34, "File Created by %s. handling Incomplete"},
    {36, "Page {\\field{\\*\\fldinst page }} of {\\field{\\*\\fldinst numpages }}"},
    {37, "\\paperw11906"},
    {38, "Contents"},
    {39, "Index"},
    {40, "Page"},
    {61, "Abort the conversion?"},
    {62, "Quorvex Severe Problem"},
    {90, "Warning:"},
    {260, "Can't open File %s"},
    {261, "Magic Number of HLP-File incorrect. Possibly it isn't a WinHelp-File?"},
    {262, "%s is a folder, not a help file"},
    {100, "Internal file %s (entry %ld) lies outside the help file and is ignored"},
    {101, "Internal file %s is cut short: %ld of %ld bytes are in the help file"},
    {102, "Internal file %s has an invalid size of %ld bytes and is taken as empty"},
    {103, "The directory holds %ld internal files although its header announces %ld"},
    {104, "|SYSTEM record of type %d is cut short: %ld of %ld bytes are in the file"},

    {120, "Phrase table %s announces %ld phrases but holds data for only %ld"},
    {121, "The compressed text of phrase table %s is damaged after 0x%08lX bytes"},
    {122, "Phrase table %s is too short for its header (%ld bytes); it holds no phrases"},
    {123, "The text of phrase table %s exceeds the 0x%08lX bytes it can hold and is cut there"},
    {130, "The text of a topic record expands beyond %ld bytes and is cut there"},
    {131, "Topic text refers to phrase %ld, which the phrase table does not hold"},
    {132, "The text of a topic record ends inside a phrase code"},
    {133, "Topic block %ld expands beyond %ld bytes and is cut there"},
    {134, "The compressed data of topic block %ld is damaged"},
    {135, "The formatting data of a paragraph ends without its end mark"},
    {136, "A paragraph command runs past the formatting data; the paragraph is cut there"},
    {137, "Object type %d in topic text is not known; its %ld bytes are skipped"},
    {138, "The layout of a table row runs past its formatting data"},
    {139,
     "A topic record after topic #%ld announces %ld bytes of text but holds only %ld; the text "
     "is cut there"},
    {150, "The help file has no usable |FONT; the RTF uses a default font"},
    {151, "|FONT holds no font descriptors; the RTF uses a default font"},
    {152, "Font %d names face %d, which |FONT does not hold (%d face names); Arial is used"},
    {153, "|FONT is cut short: %d of %d font descriptors are in it"},
    {170, "The topic data ends inside a record after topic #%ld; the topics after it are lost"},
    {171,
     "A topic record after topic #%ld is damaged (its sizes do not fit); the topics after it "
     "are skipped"},
    {172, "The help file holds no topics"},
    {173,
     "The topic record after topic #%ld cannot be found (its position lies outside the topic "
     "data); the topics after it are lost"},
    {180, "%s; %ld of its entries are used"},
    {181, "%s holds %ld entries although its header announces %ld"},
    {182,
     "A leaf page of %s ends inside entry %d of the %d it announces; the rest of the page is "
     "skipped"},
    {183, "%s refers to %ld topic entries that lie outside %s; they are ignored"},
    {184, "%s refers to more topic entries than %s holds (%ld); the rest are ignored"},
    {185, "%s is too short for its B-tree header (%ld bytes) and is not used"},
    {186, "The header of %s announces a negative number of entries (%ld); the file is not used"},
    {300, "Can't create %s; the help file's icon is left out"},
    {301, "Can't create %s; the baggage file is left out"},
    {302, "The baggage file %s has the name of a file this conversion writes; it is written as %s"},
    {303, "The localization file %s would overwrite the help file; it is written as %s"},
    {304, "|CTXOMAP announces %ld map entries but holds only %ld"},
    {320, "Picture %d of %s lies outside its container and is skipped"},
    {321, "The header of picture %d of %s runs past its container; the picture is skipped"},
    {322,
     "The palette of picture %d of %s (%lu colours) runs past its container; the picture is "
     "skipped"},
    {323,
     "The packed data of picture %d of %s (%lu bytes) runs past its container; the picture "
     "is skipped"},
    {324,
     "Picture %d of %s has an unusable size (%lu x %lu pixels, %u bits per pixel) and is "
     "skipped"},
    {325, "Picture %d of %s unpacks to more than %lu bytes and is skipped"},
    {326,
     "The picture container %s lists %lu pictures but has room for only %lu; the others are "
     "skipped"},
    {327,
     "The hotspot data of picture %d of %s is cut short; the hotspots after the cut are not "
     "read"},
    {328,
     "Picture file %s has a number above 65535, which no topic can refer to; it is not "
     "extracted"},
    {329, "A picture stored in the topic text is left out: the picture list is full"},
    {330,
     "Picture %d of %s is a device-dependent bitmap of %u planes and %u bits per pixel, "
     "which has no known colours; it is skipped"},
    {331,
     "The pixel data of picture %d of %s holds %lu of its %lu bytes; the picture is "
     "skipped"},
    {340, "The name %s is not a plain file name in the output folder; the file is written as %s"},
    {341, "%s in the output folder is the help file being converted; the file is written as %s"},
    {342,
     "The conversion has written %lu bytes, more than a help file of %lu bytes can give; the "
     "rest of the help file is skipped"},

    {512 + 1, "Sammelt Suchbegriffe"},
    {512 + 2, "Konvertiert Grafiken"},
    {512 + 3, "Entnimmt Gepäck"},
    {512 + 4, "Bearbeitet Kontext-Datei"},
    {512 + 5, "Erzeugt [MAP] Eintragungen"},
    {512 + 6, "Bestimmt Verknüpfungs-Reihenfolge"},
    {512 + 7, "Erzeugt Themen-Dateien"},
    {512 + 8, "Lade Verwaltungseintrag"},
    {512 + 10, "Suche nach Themenposition 0x%08lX für [MAP] fehlgeschlagen"},
    {512 + 11, "Ungültige Hotspot-Daten"},
    {512 + 12, "Ungültiger Verweis auf Nebenfenster Nummer 0x%02x"},
    {512 + 13, "Ungültige Schriftauswahl"},
    {512 + 14, "Ungültiger Makro-Hotspot"},
    {512 + 15, "Hotspot-Ende ohne Hotspot-Anfang"},
    {512 + 16, "Ungültiger Grafikverweis 0x%04x"},
    {512 + 17, "Tabellenformat wird nicht unterstützt"},
    {512 + 19, "Thema #%ld hat keine Kontext-Kennung"},
    {512 + 20, "Unbekannter TopicLink-Satztyp %d"},
    {512 + 21, "Phrasen-Kompression: Erwartete Größe 0x%08lX, vorgefunden 0x%08lX"},
    {512 + 31,
     "Kann %s nicht erzeugen.\n\nDie Datei wird vielleicht von einem anderen Programm benutzt. "
     "Falls nicht, haben Sie womöglich versucht, auf eine CD-ROM oder in einen schreibgeschützten "
     "Bereich zu schreiben, oder Ihre TEMP-Umgebungsvariable zeigt nicht auf ein gültiges "
     "Verzeichnis."},
    {512 + 32, "Ungültige .SHG- oder .MRB-Datei! Typ: %c%c"},
    {512 + 33, "Unbekannter sfImageType-Wert 0x%x in Datei %s.SHG."},
    {512 + 34, "Datei erzeugt von %s. Einige Angaben in der Datei werden ignoriert"},
    {512 + 36, "Seite {\\field{\\*\\fldinst page }} von {\\field{\\*\\fldinst numpages }}"},
    {512 + 37, "\\paperw11906\\paperh16838"},
    {512 + 38, "Inhalt"},
    {512 + 39, "Stichwortverzeichnis"},
    {512 + 40, "Seite"},
    {512 + 61, "Möchten Sie die Konvertierung wirklich abbrechen"},
    {512 + 62, "Quorvex Verarbeitungsfehler"},
    {512 + 90, "Warnung:"},
    {512 + 260, "Kann die Datei %s nicht öffnen"},
    {512 + 261, "Die Kennung der HLP-Datei ist falsch. Vielleicht ist es keine WinHelp-Datei?"},
    {512 + 262, "%s ist ein Ordner, keine Hilfedatei"},
    {512 + 100,
     "Die interne Datei %s (Eintrag %ld) liegt außerhalb der Hilfedatei und wird übergangen"},
    {512 + 101, "Die interne Datei %s ist verkürzt: %ld von %ld Bytes liegen in der Hilfedatei"},
    {512 + 102,
     "Die interne Datei %s hat die ungültige Größe %ld Bytes und wird als leer behandelt"},
    {512 + 103, "Das Verzeichnis enthält %ld interne Dateien, sein Kopf kündigt aber %ld an"},
    {512 + 104, "|SYSTEM-Eintrag vom Typ %d ist verkürzt: %ld von %ld Bytes liegen in der Datei"},
    {512 + 120, "Phrasentabelle %s kündigt %ld Phrasen an, enthält aber Daten für nur %ld"},
    {512 + 121, "Der komprimierte Text der Phrasentabelle %s ist nach 0x%08lX Bytes beschädigt"},
    {512 + 122,
     "Phrasentabelle %s ist zu kurz für ihren Kopf (%ld Bytes); sie enthält keine Phrasen"},
    {512 + 123,
     "Der Text der Phrasentabelle %s überschreitet die 0x%08lX Bytes, die sie fassen kann, und "
     "wird dort abgeschnitten"},
    {512 + 130, "Der Text eines Thema-Satzes ist länger als %ld Bytes und wird dort abgeschnitten"},
    {512 + 131, "Thementext verweist auf Phrase %ld, die in der Phrasentabelle fehlt"},
    {512 + 132, "Der Text eines Thema-Satzes endet mitten in einem Phrasen-Code"},
    {512 + 133, "Themenblock %ld wird größer als %ld Bytes und wird dort abgeschnitten"},
    {512 + 134, "Die komprimierten Daten des Themenblocks %ld sind beschädigt"},
    {512 + 135, "Die Formatdaten eines Absatzes enden ohne Endemarke"},
    {512 + 136,
     "Ein Absatzbefehl reicht über die Formatdaten hinaus; der Absatz wird dort abgeschnitten"},
    {512 + 137, "Objekttyp %d im Thementext ist unbekannt; seine %ld Bytes werden übergangen"},
    {512 + 138, "Das Layout einer Tabellenzeile reicht über ihre Formatdaten hinaus"},
    {512 + 139,
     "Ein Thema-Satz nach Thema #%ld kündigt %ld Bytes Text an, enthält aber nur %ld; der Text "
     "wird dort abgeschnitten"},
    {512 + 150, "Die Hilfedatei hat kein brauchbares |FONT; das RTF nutzt eine Standardschrift"},
    {512 + 151, "|FONT enthält keine Schriftbeschreibungen; das RTF nutzt eine Standardschrift"},
    {512 + 152,
     "Schrift %d verweist auf Schriftname %d, den |FONT nicht enthält (%d Namen); Arial "
     "wird verwendet"},
    {512 + 153, "|FONT ist verkürzt: %d von %d Schriftbeschreibungen sind vorhanden"},
    {512 + 170,
     "Die Themendaten enden mitten in einem Satz nach Thema #%ld; die folgenden Themen "
     "gehen verloren"},
    {512 + 171,
     "Ein Thema-Satz nach Thema #%ld ist beschädigt (seine Größen passen nicht); die "
     "folgenden Themen werden übergangen"},
    {512 + 172, "Die Hilfedatei enthält keine Themen"},
    {512 + 173,
     "Der Thema-Satz nach Thema #%ld ist nicht zu finden (seine Position liegt außerhalb "
     "der Themendaten); die folgenden Themen gehen verloren"},
    {512 + 180, "%s; %ld seiner Einträge werden verwendet"},
    {512 + 181, "%s enthält %ld Einträge, sein Kopf kündigt aber %ld an"},
    {512 + 182,
     "Eine Blattseite von %s endet in Eintrag %d der %d angekündigten; der Rest der Seite "
     "wird übergangen"},
    {512 + 183, "%s verweist auf %ld Themeneinträge außerhalb von %s; sie werden ignoriert"},
    {512 + 184,
     "%s verweist auf mehr Themeneinträge, als %s enthält (%ld); der Rest wird ignoriert"},
    {512 + 185, "%s ist zu kurz für seinen B-Baum-Kopf (%ld Bytes) und wird nicht verwendet"},
    {512 + 186,
     "Der Kopf von %s kündigt eine negative Zahl von Einträgen an (%ld); die Datei wird "
     "nicht verwendet"},
    {512 + 300, "Kann %s nicht erzeugen; das Symbol der Hilfedatei fehlt"},
    {512 + 301, "Kann %s nicht erzeugen; die Gepäckdatei fehlt"},
    {512 + 302,
     "Die Gepäckdatei %s trägt den Namen einer Datei, die diese Konvertierung schreibt; sie wird "
     "als %s geschrieben"},
    {512 + 303,
     "Die Lokalisierungsdatei %s würde die Hilfedatei überschreiben; sie wird als %s "
     "geschrieben"},
    {512 + 304, "|CTXOMAP kündigt %ld [MAP]-Einträge an, enthält aber nur %ld"},
    {512 + 320, "Bild %d von %s liegt außerhalb seines Containers und wird übergangen"},
    {512 + 321,
     "Der Kopf von Bild %d von %s reicht über seinen Container hinaus; das Bild wird übergangen"},
    {512 + 322,
     "Die Farbpalette von Bild %d von %s (%lu Farben) reicht über seinen Container hinaus; das "
     "Bild wird übergangen"},
    {512 + 323,
     "Die gepackten Daten von Bild %d von %s (%lu Bytes) reichen über seinen Container hinaus; "
     "das Bild wird übergangen"},
    {512 + 324,
     "Bild %d von %s hat eine unbrauchbare Größe (%lu x %lu Bildpunkte, %u Bit je Bildpunkt) "
     "und wird übergangen"},
    {512 + 325, "Bild %d von %s wird entpackt größer als %lu Bytes und wird übergangen"},
    {512 + 326,
     "Der Bild-Container %s nennt %lu Bilder, hat aber nur für %lu Platz; die übrigen werden "
     "übergangen"},
    {512 + 327,
     "Die Hotspot-Daten von Bild %d von %s sind verkürzt; die Hotspots nach der Schnittstelle "
     "werden nicht gelesen"},
    {512 + 328,
     "Die Bilddatei %s hat eine Nummer größer als 65535, auf die kein Thema verweisen kann; "
     "sie wird nicht entnommen"},
    {512 + 329, "Ein im Thementext gespeichertes Bild wird ausgelassen: die Bilderliste ist voll"},
    {512 + 330,
     "Bild %d von %s ist eine geräteabhängige Bitmap mit %u Ebenen und %u Bit je Bildpunkt, "
     "deren Farben unbekannt sind; es wird übergangen"},
    {512 + 331,
     "Die Bildpunktdaten von Bild %d von %s enthalten %lu von %lu Bytes; das Bild wird "
     "übergangen"},
    {512 + 340,
     "Der Name %s ist kein einfacher Dateiname im Ausgabeordner; die Datei wird als %s "
     "geschrieben"},
    {512 + 341,
     "%s im Ausgabeordner ist die Hilfedatei, die umgewandelt wird; die Datei wird als %s "
     "geschrieben"},
    {512 + 342,
     "Die Umwandlung hat %lu Bytes geschrieben, mehr als eine Hilfedatei von %lu Bytes ergeben "
     "kann; der Rest der Hilfedatei wird übergangen"},
};

struct Table {
  std::mutex mutex;
  std::map<int, std::string> texts;
  Table() {
    for (const Entry& e : kTexts) texts.emplace(e.id, e.text);
  }
};

Table& TheTable() {
  static Table table;
  return table;
}

int g_language_offset = 0;

}  // namespace

void SetLanguageOffset(int offset) {
  g_language_offset = offset;
}

int LanguageOffset() {
  return g_language_offset;
}

const std::string& LoadText(int id) {
  static const std::string kNotFound = "String Id not found";
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  auto it = t.texts.find(id + g_language_offset);
  return it != t.texts.end() ? it->second : kNotFound;
}

void RegisterText(int id, std::string_view text) {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  // std::map never moves its nodes, so references handed out earlier for other ids stay valid.
  // Replacing an id's text is only done at start-up, before any reference to it is held.
  t.texts[id] = std::string(text);
}

}  // namespace quorvex
