// The texts of the front-end, in English and German. They join the program's string table at
// start-up (ids 200 to 259, 280 to 299 and 380 to 450; German at id + 512).
#pragma once

#include <array>
#include <cstdint>

namespace quorvex {

// The command line.
inline constexpr int kTextUsage = 200;          // the --help text; %s: the settings file
inline constexpr int kTextVersion = 201;        // %s: the version
inline constexpr int kTextNeedsFolder = 202;    // %s: the option
inline constexpr int kTextExtraArgument = 203;  // %s: the second help file
inline constexpr int kTextViewNeedsFile = 204;
inline constexpr int kTextTryHelp = 205;
inline constexpr int kTextCantCreateFolder = 206;  // fatal; %s: the folder
inline constexpr int kTextResultIn = 207;          // %s: the RTF file
inline constexpr int kTextNoDisplay = 208;         // no argument and no display
inline constexpr int kTextNoWizard = 209;          // no argument in a build without the wizard
inline constexpr int kTextWizardNotLoaded = 432;   // %s: why the wizard's module did not load
inline constexpr int kTextUnknownOption = 407;     // %s: the option
inline constexpr int kTextNeedsNumber = 408;       // %s: the option
inline constexpr int kTextBadCodePage = 409;       // %s: the number given
inline constexpr int kTextViewOneFile = 410;
inline constexpr int kTextNoHelpFiles = 411;  // %s: the folder
// One line per help file after many were converted, and the total.
inline constexpr int kTextBatchConverted = 412;  // %s: the file's folder
inline constexpr int kTextBatchWarnings = 413;   // %s, %d warnings
inline constexpr int kTextBatchFatal = 414;      // %s, %s: the fatal message
inline constexpr int kTextBatchTotal = 415;
// The wizard's code page choice: the label, "automatic", then the names of kCodePageChoices.
inline constexpr int kTextCodePageLabel = 416;
inline constexpr int kTextCodePageAutomatic = 417;
inline constexpr int kTextCodePageName = 418;  // to 431
inline constexpr std::array<uint32_t, 14> kCodePageChoices{
    1252, 1250, 1251, 1253, 1254, 1255, 1256, 1257,
    1258, 874,  932,  936,  949,  950};  // %d files, %d converted, %d with warnings, %d failed

// The wizard. Panel n's title is kTextPanelTitle + n (n = 0 the file page, 1 welcome, ... 12).
inline constexpr int kTextPanelTitle = 210;  // to 222; the welcome title's %s: the product
/// The radio buttons of the option panels; the text of kRadioControls[i] is kTextRadio + i.
inline constexpr int kTextRadio = 223;  // to 243
inline constexpr std::array<int, 21> kRadioControls{7202, 7203, 7302, 7301, 7402, 7401, 7502,
                                                    7501, 7602, 7601, 7701, 7707, 7702, 7411,
                                                    7412, 7421, 7422, 7813, 7814, 7811, 7812};
inline constexpr int kTextConvert = 244;
inline constexpr int kTextScan = 245;
inline constexpr int kTextClose = 246;
inline constexpr int kTextBack = 247;
inline constexpr int kTextContinue = 248;
inline constexpr int kTextHelp = 249;
inline constexpr int kTextFileNameLabel = 250;
inline constexpr int kTextFormatLabel = 251;
inline constexpr int kTextDirectoryLabel = 252;
inline constexpr int kTextFilterAll = 253;  // the filter's name; its patterns come from the code
inline constexpr int kTextFilterHlp = 254;
inline constexpr int kTextWordNote = 255;  // note 7238
inline constexpr int kTextPressContinue = 256;
inline constexpr int kTextVersionLine = 257;  // %s: the version
inline constexpr int kTextWizardCaption = 258;
inline constexpr int kTextManualMissing = 259;         // %s: the manual's path
inline constexpr int kTextPicturePageReference = 297;  // words in the pictures of the jumps panel
inline constexpr int kTextPictureHotspot = 298;
/// The explanatory texts (controls 7105) of the panels, panel by panel in template order.
inline constexpr int kTextExplanation = 380;  // to 404

// The progress window.
inline constexpr int kTextProgressCaption = 280;  // the help file's path is appended
inline constexpr int kTextWarnings = 281;
inline constexpr int kTextCancel = 282;
inline constexpr int kTextView = 283;
inline constexpr int kTextOk = 284;
inline constexpr int kTextFinished = 285;  // %s: the output folder
inline constexpr int kTextAbortCaption = 294;
inline constexpr int kTextYes = 405;
inline constexpr int kTextNo = 406;
inline constexpr int kTextCantOpenDocument = 295;  // %s: the file

// The help-file list.
inline constexpr int kTextListCaption = 286;
inline constexpr int kTextSearching = 287;
inline constexpr int kTextTitleHeading = 288;
inline constexpr int kTextCopyrightHeading = 289;
inline constexpr int kTextPathHeading = 290;
inline constexpr int kTextListOk = 291;
inline constexpr int kTextListCancel = 292;
inline constexpr int kTextListView = 293;
inline constexpr int kTextScanDone = 296;  // %d: the number of help files listed

/// Adds the front-end's texts to the string table. Safe to call more than once.
void RegisterUiTexts();

}  // namespace quorvex
