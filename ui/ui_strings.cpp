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
     "Usage: quorvex [-o DIR] [-v] [-r] [-j N] [--codepage N] HELPFILE...\n"
     "Converts Windows help files (.HLP) and Media Viewer titles (.MVB, .M13) to RTF.\n"
     "\n"
     "  HELPFILE            the file to convert; \".HLP\" is added when its name has no\n"
     "                      extension. Several files, or folders (their help files), are\n"
     "                      converted each into a subfolder of its own named after it\n"
     "  -r                  folders with their subfolders\n"
     "  -j N                convert N files at a time (default: one per core);\n"
     "                      -j 1 converts a single file on one thread\n"
     "      --codepage N    the code page of the help files' text (default: what the\n"
     "                      files say, else 1252)\n"
     "  -v                  printing preset: one RTF document for a word processor, with a\n"
     "                      table of contents and an index, opened on the desktop afterwards\n"
     "  -o, --output DIR    write the output files into DIR (created when missing; default:\n"
     "                      the current directory)\n"
     "      --help          show this text and exit\n"
     "      --version       show the version and exit\n"
     "\n"
     "Without -v the options stored by the wizard in %s are used.\n"
     "Exit status: 2 after a conversion, 1 after an error.\n",
     "Aufruf: quorvex [-o ORDNER] [-v] [-r] [-j N] [--codepage N] HILFEDATEI...\n"
     "Wandelt Windows-Hilfedateien (.HLP) und Media-Viewer-Titel (.MVB, .M13) in RTF um.\n"
     "\n"
     "  HILFEDATEI          die umzuwandelnde Datei; \".HLP\" wird angehängt, wenn ihr Name\n"
     "                      keine Endung hat. Mehrere Dateien oder Ordner (deren\n"
     "                      Hilfedateien) werden je in einen eigenen Unterordner umgewandelt\n"
     "  -r                  Ordner samt Unterordnern\n"
     "  -j N                N Dateien gleichzeitig umwandeln (Vorgabe: eine je Prozessorkern);\n"
     "                      -j 1 wandelt auch eine einzelne Datei mit nur einem Thread um\n"
     "      --codepage N    die Codeseite des Textes der Hilfedateien (Vorgabe: was die\n"
     "                      Dateien angeben, sonst 1252)\n"
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
    {kTextNoDisplay,
     "quorvex: there is no display for the desktop wizard (DISPLAY and WAYLAND_DISPLAY are not "
     "set).\n"
     "To convert a help file without it, name the file: quorvex [-o DIR] [-v] HELPFILE\n",
     "quorvex: Für den Assistenten ist keine Anzeige da (DISPLAY und WAYLAND_DISPLAY sind nicht "
     "gesetzt).\n"
     "Um eine Hilfedatei ohne ihn umzuwandeln, geben Sie die Datei an: quorvex [-o ORDNER] [-v] "
     "HILFEDATEI\n"},
    {kTextUnknownOption, "quorvex: unknown option %s", "quorvex: unbekannte Option %s"},
    {kTextNeedsNumber, "quorvex: option %s needs a number",
     "quorvex: Die Option %s braucht eine Zahl"},
    {kTextBadCodePage,
     "quorvex: %s is not a code page Quorvex knows (874, 932, 936, 949, 950, 1250 to 1258)",
     "quorvex: %s ist keine Codeseite, die Quorvex kennt (874, 932, 936, 949, 950, 1250 bis "
     "1258)"},
    {kTextViewOneFile, "quorvex: option -v takes exactly one help file",
     "quorvex: Die Option -v nimmt genau eine Hilfedatei"},
    {kTextNoHelpFiles, "quorvex: no help files in %s", "quorvex: keine Hilfedateien in %s"},
    {kTextBatchConverted, "%s: converted", "%s: umgewandelt"},
    {kTextBatchWarnings, "%s: converted with %d warnings", "%s: umgewandelt, %d Warnungen"},
    {kTextBatchFatal, "%s: failed: %s", "%s: abgebrochen: %s"},
    {kTextBatchTotal, "%d help files: %d converted, %d with warnings, %d failed",
     "%d Hilfedateien: %d umgewandelt, %d mit Warnungen, %d abgebrochen"},
    {kTextCodePageLabel, "Code &page:", "&Codeseite:"},
    {kTextCodePageAutomatic, "as the help file says", "wie in der Hilfedatei angegeben"},
    {kTextCodePageName + 0, "1252 Western", "1252 Westeuropäisch"},
    {kTextCodePageName + 1, "1250 Central European", "1250 Mitteleuropäisch"},
    {kTextCodePageName + 2, "1251 Cyrillic", "1251 Kyrillisch"},
    {kTextCodePageName + 3, "1253 Greek", "1253 Griechisch"},
    {kTextCodePageName + 4, "1254 Turkish", "1254 Türkisch"},
    {kTextCodePageName + 5, "1255 Hebrew", "1255 Hebräisch"},
    {kTextCodePageName + 6, "1256 Arabic", "1256 Arabisch"},
    {kTextCodePageName + 7, "1257 Baltic", "1257 Baltisch"},
    {kTextCodePageName + 8, "1258 Vietnamese", "1258 Vietnamesisch"},
    {kTextCodePageName + 9, "874 Thai", "874 Thailändisch"},
    {kTextCodePageName + 10, "932 Japanese", "932 Japanisch"},
    {kTextCodePageName + 11, "936 Chinese (simplified)", "936 Chinesisch (vereinfacht)"},
    {kTextCodePageName + 12, "949 Korean", "949 Koreanisch"},
    {kTextCodePageName + 13, "950 Chinese (traditional)", "950 Chinesisch (traditionell)"},
    {kTextNoWizard,
     "quorvex: this program was built without the desktop wizard.\n"
     "To convert a help file, name the file: quorvex [-o DIR] [-v] HELPFILE\n",
     "quorvex: Dieses Programm wurde ohne den Assistenten gebaut.\n"
     "Um eine Hilfedatei umzuwandeln, geben Sie die Datei an: quorvex [-o ORDNER] [-v] "
     "HILFEDATEI\n"},
    {kTextWizardNotLoaded,
     "quorvex: the desktop wizard cannot be loaded (%s).\n"
     "To convert a help file, name the file: quorvex [-o DIR] [-v] HELPFILE\n",
     "quorvex: Der Assistent kann nicht geladen werden (%s).\n"
     "Um eine Hilfedatei umzuwandeln, geben Sie die Datei an: quorvex [-o ORDNER] [-v] "
     "HILFEDATEI\n"},

    // Wizard titles, panel 0 to 12.
    {kTextPanelTitle + 0, "Select input file", "Eingabedatei wählen"},
    {kTextPanelTitle + 1, "Welcome to \"%s\"", "Willkommen zu \"%s\""},
    {kTextPanelTitle + 2, "Select output format", "Ausgabeformat wählen"},
    {kTextPanelTitle + 3, "Splitting", "Aufteilung"},
    {kTextPanelTitle + 4, "Segmented Hypergraphics", "Grafikauswahl"},
    {kTextPanelTitle + 5, "Page breaks", "Seitenwechsel"},
    {kTextPanelTitle + 6, "Index generation", "Stichwortverzeichnis"},
    {kTextPanelTitle + 7, "Table of Contents", "Inhaltsverzeichnis"},
    {kTextPanelTitle + 8, "Embedded window DLL support", "DLL Unterstützung"},
    {kTextPanelTitle + 9, "Jumps", "Querverweise im Audruck zeigen"},
    {kTextPanelTitle + 10, "Ready to Convert", "Bereit zur Dateiumwandlung"},
    {kTextPanelTitle + 11, "Graphic Representation", "Grafikablage"},
    {kTextPanelTitle + 12, "Localization", "Lokalisierhilfe"},

    // Radio buttons, in the order of kRadioControls.
    {kTextRadio + 0, "Prepare for printing.",
     "Die Ausgabedatei soll zum &Druck vorbereitet werden"},
    {kTextRadio + 1, "Prepare for re-compilation.",
     "Die Ausgabedateien sollen zur erneuten &Übersetzung vorbereitet werden."},
    {kTextRadio + 2, "Create .BMP and .WMF files", "Erzeuge BMP und WMF-Dateien"},
    {kTextRadio + 3, "Create .SHG files", "Erzeuge .&SHG-Dateien"},
    {kTextRadio + 4, "Split the output into several files",
     "Aufteilen der Ausgabe in mehrere RTF-Dateien"},
    {kTextRadio + 5, "Create only one RTF file regardless of size", "Erzeuge nur eine RTF-Datei"},
    {kTextRadio + 6, "Create page breaks", "Seitenumbruch erzeugen"},
    {kTextRadio + 7, "Do not create page breaks", "Themen nicht trennen"},
    {kTextRadio + 8, "Create a 'Snapshot'", "Erzeugt ein 'Foto' der Grafik im Ausdruck"},
    {kTextRadio + 9, "Recreate the original {ewx} control sequence only.",
     "Erzeugt nur die {ewx} Steuersequenz."},
    {kTextRadio + 10, "Make hotspot text in the document appear similar to WinHelp hotspots",
     "Querverweise ähnlich der Darstellung in der Bedienungshilfe drucken"},
    {kTextRadio + 11, "Generate page references", "Querverweise als Seitenreferenzen ausdrucken"},
    {kTextRadio + 12, "Don't show jump/popup hotspots at all", "Querverweise nicht markieren"},
    {kTextRadio + 13, "Generate an index", "Verzeichnis erzeugen"},
    {kTextRadio + 14, "Don't generate an Index", "Verzeichnis nicht erzeugen"},
    {kTextRadio + 15, "Create TOC", "Verzeichnis erzeugen"},
    {kTextRadio + 16, "Don't create TOC", "Kein Verzeichnis erzeugen"},
    {kTextRadio + 17, "Include graphics as part of the RTF file.",
     "Speichere Grafiken mit der RTF-Datei."},
    {kTextRadio + 18, "Extract graphics as separate files.",
     "Speichere Grafiken als eigenständige Dateien."},
    {kTextRadio + 19, "Output localization reference file", "Lokalisierhilfe benutzen."},
    {kTextRadio + 20, "Generate standard ready-to-print Quorvex output only",
     "Normale Ausgabedatei erstellen"},

    {kTextConvert, "C&onvert", "jetzt &Umwandeln"},
    {kTextScan, "&Scan", "Durchsuchen"},
    {kTextClose, "&Close", "&Schließen"},
    {kTextBack, "<< &Back", "<< &Zurück"},
    {kTextContinue, "&Continue >>", "&Weiter >>"},
    {kTextHelp, "&Help", "&Hilfe"},
    {kTextFileNameLabel, "File&name:", "Datei&name:"},
    {kTextFormatLabel, "&Format:", "&Format:"},
    {kTextDirectoryLabel, "&Directory:", "&Verzeichnis:"},
    {kTextFilterAll, "WinHelp/Media Viewer", "WinHelp/Media Viewer"},
    {kTextFilterHlp, "HLP WinHelp", "HLP WinHelp"},
    {kTextWordNote,
     "At least one of the selected options requires Microsoft Word Version 2.0 or newer to print "
     "the resulting RTF document.",
     "Mindestens eine der gewählten Einstellungen erfordert Microsoft Word ab Version 2.0, um das "
     "erzeugte RTF-Dokument zu drucken."},
    {kTextPressContinue, "Press 'Continue' to begin processing the helpfile.",
     "Drücken Sie 'Weiter', um mit der Umwandlung der Hilfedatei zu beginnen."},
    {kTextVersionLine, "V%s", "V%s"},
    {kTextWizardCaption, "Quorvex", "Quorvex"},
    {kTextManualMissing, "The manual %s is missing.", "Das Handbuch %s fehlt."},
    {kTextPicturePageReference, "see page 12", "siehe S. 12"},
    {kTextPictureHotspot, "hotspot", "Verweis"},

    // Explanatory texts, panel by panel.
    {kTextExplanation + 0,
     "Quorvex creates printable or recompilable documents in RTF format from Microsoft Windows "
     "helpfiles as well as Multimedia Viewer and MediaView titles.",
     "Quorvex erzeugt aus Microsoft-Windows-Hilfedateien sowie aus Multimedia-Viewer- und "
     "MediaView-Titeln druckbare oder wieder übersetzbare Dokumente im RTF-Format."},
    {kTextExplanation + 1,
     "Graphics are stored as .SHG, .BMP or .WMF files depending on their source format.\n"
     "An .HPJ project file will be created.\n"
     "Baggage files and the helpfile's icon will also be extracted if found.\n"
     "Footnotes and page breaks are preserved.",
     "Grafiken werden je nach Quellformat als .SHG-, .BMP- oder .WMF-Dateien gespeichert.\n"
     "Eine .HPJ-Projektdatei wird erzeugt.\n"
     "Baggage-Dateien und das Symbol der Hilfedatei werden ebenfalls entnommen, falls vorhanden.\n"
     "Fußnoten und Seitenumbrüche bleiben erhalten."},
    {kTextExplanation + 2,
     "Graphics are stored as part of the RTF document file.\n"
     "Footnotes are suppressed.\n"
     "Paragraphs will be converted from exact to minimum height.",
     "Grafiken werden als Teil des RTF-Dokuments gespeichert.\n"
     "Fußnoten werden unterdrückt.\n"
     "Absätze mit fester Höhe erhalten stattdessen eine Mindesthöhe."},
    {kTextExplanation + 3,
     "Output files will be named in sequence as FILEXXX1.RTF, FILEXXX2.RTF etc., where FILEXXX "
     "is the file prefix of the actual helpfile being processed.  (For example, if SUPERAPP.HLP "
     "is processed to multiple RTF files, the output will consist of SUPERAP1.RTF, SUPERAP2.RTF, "
     "etc.)\n"
     "All files in the sequence must be printed if you desire a complete printout of the "
     "helpfile.",
     "Die Ausgabedateien werden fortlaufend DATEIXX1.RTF, DATEIXX2.RTF usw. genannt, wobei "
     "DATEIXX der Anfang des Namens der bearbeiteten Hilfedatei ist. (Wird zum Beispiel "
     "SUPERAPP.HLP in mehrere RTF-Dateien umgewandelt, so heißen sie SUPERAP1.RTF, SUPERAP2.RTF "
     "usw.)\n"
     "Für einen vollständigen Ausdruck der Hilfedatei müssen alle Dateien der Folge gedruckt "
     "werden."},
    {kTextExplanation + 4,
     "CAUTION: Exceptionally large RTF files may cause word processors to fail or run "
     "exceedingly slowly. Quorvex can optionally divide the decompiled output into several "
     "smaller RTF files which may be easier for your word processor to digest.",
     "ACHTUNG: Sehr große RTF-Dateien können Textverarbeitungen zum Absturz bringen oder sehr "
     "langsam machen. Quorvex kann die Ausgabe auf Wunsch auf mehrere kleinere RTF-Dateien "
     "verteilen, mit denen Ihre Textverarbeitung leichter zurechtkommt."},
    {kTextExplanation + 5,
     "Segmented hypergraphics (.SHGs) will be stored as their source format .WMF or .BMP files. "
     "Hotspot data will be lost.",
     "Segmentierte Hypergrafiken (.SHG) werden in ihrem Quellformat als .WMF- oder .BMP-Dateien "
     "gespeichert. Die Hotspot-Daten gehen dabei verloren."},
    {kTextExplanation + 6,
     ".SHG format segmented hypergraphics will be stored as SHG files. Hotspot information will "
     "be preserved.",
     "Segmentierte Hypergrafiken im .SHG-Format werden als SHG-Dateien gespeichert. Die "
     "Hotspot-Angaben bleiben erhalten."},
    {kTextExplanation + 7,
     "This dialog allows you to define how Quorvex will treat segmented hypergraphics (.SHGs) "
     "and multiple-resolution bitmaps (.MRBs).",
     "Hier legen Sie fest, wie Quorvex segmentierte Hypergrafiken (.SHG) und Bitmaps mit "
     "mehreren Auflösungen (.MRB) behandelt."},
    {kTextExplanation + 8,
     "Quorvex can generate page breaks between topics of the helpfile. This usually increases "
     "the readability of large topics, but this option can waste paper when applied to "
     "helpfiles with numerous popups or short topics.",
     "Quorvex kann zwischen den Themen der Hilfedatei Seitenumbrüche einfügen. Lange Themen "
     "werden so meist besser lesbar, bei Hilfedateien mit vielen Popups oder kurzen Themen "
     "verschwendet diese Einstellung aber Papier."},
    {kTextExplanation + 9, "This function requires Microsoft Word to print the file.",
     "Zum Drucken der Datei wird Microsoft Word benötigt."},
    {kTextExplanation + 10,
     "Quorvex can generate a book-style index of all keywords defined in the help file at the "
     "end of the printed document. WARNING: This feature is intended only for RTF files which "
     "will be printed with Microsoft Word for Windows version 2.0 or higher. It is not "
     "compatible with WordPad.",
     "Quorvex kann am Ende des gedruckten Dokuments ein Stichwortverzeichnis wie in einem Buch "
     "aus allen Suchbegriffen der Hilfedatei erzeugen. ACHTUNG: Diese Funktion ist nur für "
     "RTF-Dateien gedacht, die mit Microsoft Word für Windows ab Version 2.0 gedruckt werden. "
     "Mit WordPad funktioniert sie nicht."},
    {kTextExplanation + 11,
     "Quorvex is able to create a Table of Contents from the topic titles in the helpfile. "
     "WARNING: This feature is intended only for RTF files which will be printed with Microsoft "
     "Word for Windows version 2.0 or higher. It is not compatible with WordPad.",
     "Quorvex kann aus den Thementiteln der Hilfedatei ein Inhaltsverzeichnis erzeugen. "
     "ACHTUNG: Diese Funktion ist nur für RTF-Dateien gedacht, die mit Microsoft Word für "
     "Windows ab Version 2.0 gedruckt werden. Mit WordPad funktioniert sie nicht."},
    {kTextExplanation + 12, "This function requires Microsoft Word to print the file.",
     "Zum Drucken der Datei wird Microsoft Word benötigt."},
    {kTextExplanation + 13,
     "Attempt to recreate graphical appearance of embedded window graphics and other "
     "nonstandard Help objects.\n\nThis selection is supported by the 16 bit version of Quorvex "
     "only.",
     "Versucht, das Aussehen der Grafiken eingebetteter Fenster und anderer besonderer "
     "Hilfe-Objekte nachzubilden.\n\nDiese Auswahl gibt es nur in der 16-Bit-Version von "
     "Quorvex."},
    {kTextExplanation + 14,
     "Select this option if Quorvex failed during a previous attempt to convert a file.",
     "Wählen Sie diese Einstellung, wenn Quorvex bei einem früheren Versuch, die Datei "
     "umzuwandeln, gescheitert ist."},
    {kTextExplanation + 15,
     "Some helpfiles use additional DLL extensions to display graphics. Quorvex can TRY to "
     "include a snapshot of the graphic by loading and using the DLL extension.",
     "Manche Hilfedateien zeigen Grafiken mit zusätzlichen DLL-Erweiterungen an. Quorvex kann "
     "VERSUCHEN, ein Foto der Grafik einzufügen, indem es die DLL-Erweiterung lädt und "
     "benutzt."},
    {kTextExplanation + 16, "This function requires Microsoft Word to print the file.",
     "Zum Drucken der Datei wird Microsoft Word benötigt."},
    {kTextExplanation + 17,
     "Jumps usually shown as green text in WinHelp can be suppressed in Quorvex or they can be "
     "shown as page references. To use this function you need to print the file using "
     "Microsoft Word for Windows.",
     "Querverweise, die WinHelp meist als grünen Text zeigt, kann Quorvex unterdrücken oder als "
     "Seitenreferenzen ausgeben. Dafür muss die Datei mit Microsoft Word für Windows gedruckt "
     "werden."},
    {kTextExplanation + 18, "You have now selected all options necessary to convert your helpfile.",
     "Sie haben nun alle Einstellungen gewählt, die zur Umwandlung Ihrer Hilfedatei nötig "
     "sind."},
    {kTextExplanation + 19,
     "Select this option if you want to output all text data to a single file.",
     "Wählen Sie diese Einstellung, wenn alle Daten in einer einzigen Datei stehen sollen."},
    {kTextExplanation + 20, "This option requires Microsoft Word to view the created files.",
     "Um die erzeugten Dateien anzusehen, wird bei dieser Einstellung Microsoft Word benötigt."},
    {kTextExplanation + 21,
     "Including graphics as part of the RTF will give the document a more accurate appearance "
     "if it is viewed in Word, but loading of the document will be much slower and you will not "
     "be able to manually edit graphics extracted from the helpfile prior to printing.",
     "Mit den Grafiken in der RTF-Datei sieht das Dokument in Word originalgetreuer aus, es "
     "lädt aber viel langsamer, und Sie können die Grafiken der Hilfedatei vor dem Drucken "
     "nicht von Hand bearbeiten."},
    {kTextExplanation + 22, "Required only for translating text to different languages",
     "Nur für die Übersetzung des Textes in andere Sprachen nötig"},
    {kTextExplanation + 23, "Default option for normal output", "Vorgabe für die normale Ausgabe"},
    {kTextExplanation + 24,
     "Quorvex's localization feature generates an RTF output file as well as an additional "
     "plain-text reference file with formatting information from the source document.",
     "Die Lokalisierhilfe von Quorvex erzeugt eine RTF-Ausgabedatei und zusätzlich eine "
     "Referenzdatei in reinem Text mit den Formatangaben des Quelldokuments."},

    // The progress window.
    {kTextProgressCaption, "Help-File conversion ", "Dateiumwandlung Hilfedatei "},
    {kTextWarnings, "Warnings:", "Warnungen:"},
    {kTextCancel, "&Cancel", "&Abbruch"},
    {kTextView, "&View", "An&zeige"},
    {kTextOk, "&Ok", "&Ok"},
    {kTextFinished, "Finished. The files are in %s", "Fertig. Die Dateien stehen in %s"},
    {kTextAbortCaption, "Quorvex", "Quorvex"},
    {kTextYes, "&Yes", "&Ja"},
    {kTextNo, "&No", "&Nein"},
    {kTextCantOpenDocument, "There is no program to open %s.",
     "Es gibt kein Programm, das %s öffnen kann."},

    // The help-file list.
    {kTextListCaption, "List of helpfiles", "Durchsuchen"},
    {kTextSearching, "Searching for help files", "Suche nach Hilfedateien"},
    {kTextTitleHeading, "Titel der Hilfedatei", "Titel der Hilfedatei"},
    {kTextCopyrightHeading, "Copyright-Eintragung", "Copyright-Eintragung"},
    {kTextPathHeading, "Path", "Pfad"},
    {kTextListOk, "&OK", "&OK"},
    {kTextListCancel, "&Cancel", "&Abbruch"},
    {kTextListView, "&View", "An&zeigen"},
    {kTextScanDone, "%d help files found", "%d Hilfedateien gefunden"},
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
