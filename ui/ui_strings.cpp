#include "ui/ui_strings.h"

#include <mutex>

#include "core/strings.h"

namespace quorvex {

namespace {

struct UiText {
  int id;
  const char* english;
  const char* german;
};

constexpr UiText kUiTexts[] = {
    {kTextUsage,
     "Usage: quorvex [-o DIR] [-v] HELPFILE\n"
     "Converts a Windows help file (.HLP) or a Media Viewer title (.MVB, .M13) to RTF.\n"
     "\n"
     "  HELPFILE            the file to convert; \".HLP\" is added when its name has no\n"
     "                      extension\n"
     "  -v                  printing preset: one RTF document for a word processor, with a\n"
     "                      table of contents and an index, opened on the desktop afterwards\n"
     "  -o, --output DIR    write the output files into DIR (created when missing; default:\n"
     "                      the current directory)\n"
     "      --help          show this text and exit\n"
     "      --version       show the version and exit\n"
     "\n"
     "Without -v the options stored by the wizard in %s are used.\n"
     "Exit status: 2 after a conversion, 1 after an error.\n",
     "Aufruf: quorvex [-o ORDNER] [-v] HILFEDATEI\n"
     "Wandelt eine Windows-Hilfedatei (.HLP) oder einen Media-Viewer-Titel (.MVB, .M13) in RTF "
     "um.\n"
     "\n"
     "  HILFEDATEI          die umzuwandelnde Datei; \".HLP\" wird angehängt, wenn ihr Name\n"
     "                      keine Endung hat\n"
     "  -v                  Druckvorgabe: ein RTF-Dokument für die Textverarbeitung, mit\n"
     "                      Inhalts- und Stichwortverzeichnis, danach auf dem Desktop geöffnet\n"
     "  -o, --output ORDNER die Ausgabedateien in ORDNER schreiben (wird bei Bedarf angelegt;\n"
     "                      Vorgabe: der aktuelle Ordner)\n"
     "      --help          diesen Text zeigen und beenden\n"
     "      --version       die Version zeigen und beenden\n"
     "\n"
     "Ohne -v gelten die vom Assistenten in %s gespeicherten Einstellungen.\n"
     "Rückgabewert: 2 nach einer Umwandlung, 1 nach einem Fehler.\n"},
    {kTextVersion, "Quorvex %s", "Quorvex %s"},
    {kTextNeedsFolder, "quorvex: option %s needs a folder",
     "quorvex: Die Option %s braucht einen Ordner"},
    {kTextExtraArgument, "quorvex: only one help file can be converted at a time (also given: %s)",
     "quorvex: Es kann nur eine Hilfedatei auf einmal umgewandelt werden (zusätzlich angegeben: "
     "%s)"},
    {kTextViewNeedsFile, "quorvex: option -v needs a help file",
     "quorvex: Die Option -v braucht eine Hilfedatei"},
    {kTextTryHelp, "Try 'quorvex --help' for more information.",
     "Weitere Informationen mit 'quorvex --help'."},
    {kTextCantCreateFolder, "Can't create the output folder %s",
     "Kann den Ausgabeordner %s nicht anlegen"},
    {kTextResultIn, "The result is %s", "Das Ergebnis steht in %s"},
};

}  // namespace

void RegisterUiTexts() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const UiText& t : kUiTexts) {
      RegisterText(t.id, t.english);
      RegisterText(t.id + kGermanOffset, t.german);
    }
  });
}

}  // namespace quorvex
