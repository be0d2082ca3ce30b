// The string table: every text the conversion shows, in English and German.
//
// A text is looked up by its number. German texts sit 512 above the English ones; the language
// is chosen once at start-up by setting the language offset.
#pragma once

#include <string>
#include <string_view>

namespace quorvex {

/// Offset of the German texts above the English ones.
inline constexpr int kGermanOffset = 512;

// Progress phases (string ids whose text is the phase name).
inline constexpr int kPhaseScanningKeywords = 1;
inline constexpr int kPhaseConvertingBitmaps = 2;
inline constexpr int kPhaseExtractingBaggage = 3;
inline constexpr int kPhaseReadingContext = 4;
inline constexpr int kPhaseCreatingMap = 5;
inline constexpr int kPhaseScanningBrowse = 6;
inline constexpr int kPhaseReadingTopics = 7;
inline constexpr int kPhaseLoadingSystem = 8;

// Warnings and resource strings of the conversion.
inline constexpr int kWarnMapLookup = 10;
inline constexpr int kWarnIllegalHotspot = 11;
inline constexpr int kWarnIllegalWindow = 12;
inline constexpr int kWarnIllegalFont = 13;
inline constexpr int kWarnIllegalMacro = 14;
inline constexpr int kWarnHotspotEnd = 15;
inline constexpr int kWarnIllegalBitmap = 16;
inline constexpr int kWarnTableFormat = 17;
inline constexpr int kWarnNoContextId = 19;
inline constexpr int kWarnUnknownRecord = 20;
inline constexpr int kWarnPhraseSize = 21;
inline constexpr int kTextCantCreate = 31;
inline constexpr int kWarnInvalidShg = 32;
inline constexpr int kWarnUnknownImageType = 33;
inline constexpr int kWarnCompiledBy = 34;
inline constexpr int kTextPageOf = 36;
inline constexpr int kTextPaperSize = 37;
inline constexpr int kTextContents = 38;
inline constexpr int kTextIndex = 39;
inline constexpr int kTextPage = 40;
inline constexpr int kTextAbortQuestion = 61;
inline constexpr int kTextSevereProblem = 62;

// Texts of this program that the original string table did not have.
inline constexpr int kTextWarningPrefix = 90;
// Fatal messages of opening a help file. Range 260 to 279.
inline constexpr int kTextCantOpenFile = 260;  // %s: the help file
inline constexpr int kTextBadMagic = 261;
inline constexpr int kTextIsFolder = 262;  // %s: the path given
// Warnings about damaged help files. Range 100 to 199.
inline constexpr int kWarnFileOutside = 100;
inline constexpr int kWarnFileTruncated = 101;
inline constexpr int kWarnFileBadSize = 102;
inline constexpr int kWarnDirectoryShort = 103;
inline constexpr int kWarnSystemRecordCut = 104;
// Warnings of the phrase tables. Range 120 to 129.
inline constexpr int kWarnPhraseCount = 120;
inline constexpr int kWarnPhraseDamaged = 121;
inline constexpr int kWarnPhraseHeader = 122;
inline constexpr int kWarnPhraseTextCut = 123;
// Warnings of the topic stream, text expansion and record decoding. Range 130 to 149.
inline constexpr int kWarnTopicTextCut = 130;
inline constexpr int kWarnTopicTextPhrase = 131;
inline constexpr int kWarnTopicTextCode = 132;
inline constexpr int kWarnTopicBlockOverflow = 133;
inline constexpr int kWarnTopicBlockDamaged = 134;
inline constexpr int kWarnParagraphNoEnd = 135;
inline constexpr int kWarnParagraphCut = 136;
inline constexpr int kWarnUnknownObject = 137;
inline constexpr int kWarnTableLayoutCut = 138;
inline constexpr int kWarnTopicTextOutside = 139;
// Warnings of the RTF writers (font table). Range 150 to 169.
inline constexpr int kWarnFontMissing = 150;
inline constexpr int kWarnFontNoDescriptors = 151;
inline constexpr int kWarnFontFaceMissing = 152;
inline constexpr int kWarnFontCut = 153;
// Warnings of the topic walk. Range 170 to 179.
inline constexpr int kWarnTopicStreamEnds = 170;
inline constexpr int kWarnTopicRecordDamaged = 171;
inline constexpr int kWarnNoTopics = 172;
inline constexpr int kWarnTopicRecordLost = 173;
// Warnings of the context map and the keyword tables. Range 180 to 199.
inline constexpr int kWarnTreeDamaged = 180;
inline constexpr int kWarnTreeShort = 181;
inline constexpr int kWarnLeafPageCut = 182;
inline constexpr int kWarnKeywordDataOutside = 183;
inline constexpr int kWarnKeywordCapacity = 184;
inline constexpr int kWarnTreeHeaderCut = 185;
inline constexpr int kWarnTreeNegativeCount = 186;
// Warnings of the pictures. Range 320 to 339.
inline constexpr int kWarnPictureOutside = 320;
inline constexpr int kWarnPictureHeaderCut = 321;
inline constexpr int kWarnPicturePalette = 322;
inline constexpr int kWarnPictureData = 323;
inline constexpr int kWarnPictureSize = 324;
inline constexpr int kWarnPictureUnpacked = 325;
inline constexpr int kWarnPictureCount = 326;
inline constexpr int kWarnHotspotsCut = 327;
inline constexpr int kWarnPictureNumber = 328;
inline constexpr int kWarnPictureListFull = 329;
inline constexpr int kWarnPictureDdbFormat = 330;
inline constexpr int kWarnPicturePixelsShort = 331;
// Ranges kept for the steps still to come: 260-279 front-end messages of the reading core;
// 360-379 code pages and many files.
// (200-299 belong to the front-end's own texts.)
// Warnings of the project-file sections, baggage and localization. Range 300 to 319.
inline constexpr int kWarnIconNotWritten = 300;
inline constexpr int kWarnBaggageNotWritten = 301;
inline constexpr int kWarnBaggageRenamed = 302;
inline constexpr int kWarnLocalizationRenamed = 303;
inline constexpr int kWarnMapCut = 304;
// Warnings of the output folder. Range 340 to 359.
inline constexpr int kWarnUnsafeName = 340;
inline constexpr int kWarnOutputIsInput = 341;
inline constexpr int kWarnOutputBudget = 342;

/// Sets the language: 0 English, kGermanOffset German. Set once at start-up.
void SetLanguageOffset(int offset);
int LanguageOffset();

/// The text of string `id` in the current language (id + language offset), or
/// "String Id not found". The reference stays valid for the life of the process.
const std::string& LoadText(int id);

/// Adds or replaces the text of string `id` (the full id, language offset included). The
/// front-end registers its dialog texts this way at start-up.
void RegisterText(int id, std::string_view text);

}  // namespace quorvex
