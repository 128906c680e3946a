// The system's Japanese texts, stored as Shift-JIS (code page 932) bytes.
// Every text is kept here once, with its readable form beside it; the core
// writes these bytes unchanged, and only the window and the terminal decode
// them for display.
#pragma once

#include <array>
#include <string_view>

namespace korva::texts {

// "File Error": caption of the message box for a file that cannot be read or written
inline constexpr std::string_view kFileErrorCaption = "File Error";

// "KORVAアセンブラ": KORVA assembler (window title)
inline constexpr std::string_view kWindowTitle =
    "KORVA\x83"
    "A\x83Z\x83\x93\x83u\x83\x89";
// "  ﾌｧｲﾙが見つかりません。": two blanks, then: file not found
inline constexpr std::string_view kFileNotFound =
    "  \xCC\xA7\xB2\xD9\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
    "B";
// "エラーメッセージ": error message (caption of the pass-1 message box)
inline constexpr std::string_view kErrorMessageCaption =
    "\x83G\x83\x89\x81[\x83\x81\x83"
    "b\x83Z\x81[\x83W";
// "同名のファイルがあります。": a file of the same name exists
inline constexpr std::string_view kSameNameText =
    "\x93\xAF\x96\xBC\x82\xCC\x83t\x83@\x83"
    "C\x83\x8B\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB7\x81"
    "B";
// "同名": same name
inline constexpr std::string_view kSameNameCaption = "\x93\xAF\x96\xBC";
// "シンボルが制限数を超えました。": the number of symbols exceeds the limit
inline constexpr std::string_view kTooManySymbols =
    "\x83V\x83\x93\x83{"
    "\x83\x8B\x82\xAA\x90\xA7\x8C\xC0\x90\x94\x82\xF0\x92\xB4\x82\xA6\x82\xDC\x82\xB5\x82\xBD\x81"
    "B";
// "同名のSUBがあります。": a SUB of the same name exists
inline constexpr std::string_view kDuplicateSub =
    "\x93\xAF\x96\xBC\x82\xCCSUB\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB7\x81"
    "B";
// "同名のLabelがあります。": a label of the same name exists
inline constexpr std::string_view kDuplicateLabel =
    "\x93\xAF\x96\xBC\x82\xCCLabel\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB7\x81"
    "B";
// "マクロ名が長すぎます。": the macro name is too long
inline constexpr std::string_view kMacroNameTooLong =
    "\x83}\x83N\x83\x8D\x96\xBC\x82\xAA\x92\xB7\x82\xB7\x82\xAC\x82\xDC\x82\xB7\x81"
    "B";
// "マクロが制限数を超えました。": the number of macros exceeds the limit
inline constexpr std::string_view kTooManyMacros =
    "\x83}"
    "\x83N\x83\x8D\x82\xAA\x90\xA7\x8C\xC0\x90\x94\x82\xF0\x92\xB4\x82\xA6\x82\xDC\x82\xB5\x82\xBD"
    "\x81"
    "B";
// "マクロ異常終了": macro ended abnormally
inline constexpr std::string_view kMacroAbnormalEnd =
    "\x83}\x83N\x83\x8D\x88\xD9\x8F\xED\x8FI\x97\xB9";
// "文法エラー": grammar error
inline constexpr std::string_view kGrammarError = "\x95\xB6\x96@\x83G\x83\x89\x81[";
// "ファイル": File
inline constexpr std::string_view kMenuFile =
    "\x83t\x83@\x83"
    "C\x83\x8B";
// "ﾒｲｸﾌｧｲﾙを開く": open make file
inline constexpr std::string_view kMenuOpenMakeFile =
    "\xD2\xB2\xB8\xCC\xA7\xB2\xD9\x82\xF0\x8AJ\x82\xAD";
// "ﾒｲｸﾌｧｲﾙの保存": save make file
inline constexpr std::string_view kMenuSaveMakeFile =
    "\xD2\xB2\xB8\xCC\xA7\xB2\xD9\x82\xCC\x95\xDB\x91\xB6";
// "ﾒｲｸﾌｧｲﾙの別名保存": save make file under another name
inline constexpr std::string_view kMenuSaveMakeFileAs =
    "\xD2\xB2\xB8\xCC\xA7\xB2\xD9\x82\xCC\x95\xCA\x96\xBC\x95\xDB\x91\xB6";
// "終了": exit
inline constexpr std::string_view kMenuExit = "\x8FI\x97\xB9";
// "編集": Edit
inline constexpr std::string_view kMenuEdit = "\x95\xD2\x8FW";
// "ﾌｧｲﾙの追加": add file
inline constexpr std::string_view kMenuAddFile = "\xCC\xA7\xB2\xD9\x82\xCC\x92\xC7\x89\xC1";
// "ﾌｧｲﾙの挿入": insert file
inline constexpr std::string_view kMenuInsertFile = "\xCC\xA7\xB2\xD9\x82\xCC\x91}\x93\xFC";
// "ﾌｧｲﾙの削除": delete file
inline constexpr std::string_view kMenuDeleteFile = "\xCC\xA7\xB2\xD9\x82\xCC\x8D\xED\x8F\x9C";
// "アセンブル": Assemble
inline constexpr std::string_view kMenuAssemble =
    "\x83"
    "A\x83Z\x83\x93\x83u\x83\x8B";
// Words drawn on the toolbar images (resources/toolbar.png, drawn by
// resources/draw_toolbar.cpp); the assemble button shows kMenuAssemble.
// "名前保存": save under a name
inline constexpr std::string_view kToolbarSaveAs = "\x96\xBC\x91O\x95\xDB\x91\xB6";
// "追加": add
inline constexpr std::string_view kToolbarAdd = "\x92\xC7\x89\xC1";
// "挿入": insert
inline constexpr std::string_view kToolbarInsert = "\x91}\x93\xFC";
// "削除": delete
inline constexpr std::string_view kToolbarDelete = "\x8D\xED\x8F\x9C";

// Texts of the window's keyboard commands and its warning list.
// "ソースを開く": open the source (the error's file at its line, in the editor)
inline constexpr std::string_view kMenuOpenSource = "\x83\\\x81[\x83X\x82\xF0\x8AJ\x82\xAD";
// "リストの行へ移動": go to the line in the listing
inline constexpr std::string_view kMenuGoToListingLine =
    "\x83\x8A\x83X\x83g\x82\xCC\x8Ds\x82\xD6\x88\xDA\x93\xAE";
// "次のエラー": next error
inline constexpr std::string_view kMenuNextError = "\x8E\x9F\x82\xCC\x83G\x83\x89\x81[";
// "前のエラー": previous error
inline constexpr std::string_view kMenuPreviousError = "\x91O\x82\xCC\x83G\x83\x89\x81[";
// "警告一覧": list of warnings (title of the warning list and of its switch)
inline constexpr std::string_view kWarningList = "\x8Cx\x8D\x90\x88\xEA\x97\x97";

// Texts of the window's project handling beyond the eight commands.
// "ﾒｲｸﾌｧｲﾙの新規作成": new make file
inline constexpr std::string_view kMenuNewMakeFile =
    "\xD2\xB2\xB8\xCC\xA7\xB2\xD9\x82\xCC\x90V\x8BK\x8D\xEC\x90\xAC";
// "ﾒｲｸﾌｧｲﾙが変更されています。保存しますか?": the make file was changed; save it?
inline constexpr std::string_view kSaveChangesText =
    "\xD2\xB2\xB8\xCC\xA7\xB2\xD9\x82\xAA\x95\xCF\x8DX\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82"
    "\xB7\x81"
    "B\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB7\x82\xA9?";
// "確認": confirm (caption of the window's questions)
inline constexpr std::string_view kConfirmCaption =
    "\x8Am\x94"
    "F";
// "ﾌｧｲﾙがありません。作成しますか?": the file does not exist; create it?
inline constexpr std::string_view kCreateFileText =
    "\xCC\xA7\xB2\xD9\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
    "B\x8D\xEC\x90\xAC\x82\xB5\x82\xDC\x82\xB7\x82\xA9?";
// "  ﾌｧｲﾙ名が99文字を超えます。": two blanks, then: the file name is over 99 characters
inline constexpr std::string_view kNameTooLong =
    "  \xCC\xA7\xB2\xD9\x96\xBC\x82\xAA"
    "99\x95\xB6\x8E\x9A\x82\xF0\x92\xB4\x82\xA6\x82\xDC\x82\xB7\x81"
    "B";
// "ﾌｧｲﾙがないため、ﾒｲｸﾌｧｲﾙは変更していません。": no files, so the make file was
// left as it was (status bar)
inline constexpr std::string_view kNothingToSave =
    "\xCC\xA7\xB2\xD9\x82\xAA\x82\xC8\x82\xA2\x82\xBD\x82\xDF\x81"
    "A\xD2\xB2\xB8\xCC\xA7\xB2\xD9\x82\xCD\x95\xCF\x8DX\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82"
    "\xF1\x81"
    "B";

// Texts of the listing view's column titles and its searches.
// "ｱﾄﾞﾚｽ": address (column of the listing)
inline constexpr std::string_view kColumnAddress = "\xB1\xC4\xDE\xDA\xBD";
// "ｺｰﾄﾞ": code
inline constexpr std::string_view kColumnCode = "\xBA\xB0\xC4\xDE";
// "ﾗﾍﾞﾙ": label
inline constexpr std::string_view kColumnLabel = "\xD7\xCD\xDE\xD9";
// "ｽﾃｰﾄﾒﾝﾄ": statement
inline constexpr std::string_view kColumnStatement = "\xBD\xC3\xB0\xC4\xD2\xDD\xC4";
// "ｺﾒﾝﾄ": remark
inline constexpr std::string_view kColumnRemark = "\xBA\xD2\xDD\xC4";
// "ｴﾗｰ": error
inline constexpr std::string_view kColumnError = "\xB4\xD7\xB0";
// "検索:": find (the search box's label)
inline constexpr std::string_view kFindPrompt = "\x8C\x9F\x8D\xF5:";
// "ｱﾄﾞﾚｽへ移動:": go to address (the box's label)
inline constexpr std::string_view kGoToAddressPrompt =
    "\xB1\xC4\xDE\xDA\xBD\x82\xD6\x88\xDA\x93\xAE:";
// "見つかりません。": not found
inline constexpr std::string_view kNotFound =
    "\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
    "B";

// "外部ｴﾃﾞｨﾀで開く": open in an external editor (the error's file at its line)
inline constexpr std::string_view kMenuOpenInExternalEditor =
    "\x8AO\x95\x94\xB4\xC3\xDE\xA8\xC0\x82\xC5\x8AJ\x82\xAD";

// "ｿｰｽが変更されています。保存しますか?": the source was changed; save it?
inline constexpr std::string_view kSaveSourceText =
    "\xBF\xB0\xBD\x82\xAA\x95\xCF\x8DX\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81"
    "B\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB7\x82\xA9?";

// "ｼﾐｭﾚｰﾄ": simulate (in gpsim; a command on the menu bar)
inline constexpr std::string_view kMenuSimulate = "\xBC\xD0\xAD\xDA\xB0\xC4";

// Every text above with its readable form, so that a test can decode each
// one and compare: a wrong byte in a text shows there, not on a user's screen.
struct SystemText {
  std::string_view cp932;
  std::string_view readable;  // UTF-8
};
inline constexpr std::array kAllTexts{
    SystemText{kFileErrorCaption, "File Error"},
    SystemText{kWindowTitle, "KORVAアセンブラ"},
    SystemText{kFileNotFound, "  ﾌｧｲﾙが見つかりません。"},
    SystemText{kErrorMessageCaption, "エラーメッセージ"},
    SystemText{kSameNameText, "同名のファイルがあります。"},
    SystemText{kSameNameCaption, "同名"},
    SystemText{kTooManySymbols, "シンボルが制限数を超えました。"},
    SystemText{kDuplicateSub, "同名のSUBがあります。"},
    SystemText{kDuplicateLabel, "同名のLabelがあります。"},
    SystemText{kMacroNameTooLong, "マクロ名が長すぎます。"},
    SystemText{kTooManyMacros, "マクロが制限数を超えました。"},
    SystemText{kMacroAbnormalEnd, "マクロ異常終了"},
    SystemText{kGrammarError, "文法エラー"},
    SystemText{kMenuFile, "ファイル"},
    SystemText{kMenuOpenMakeFile, "ﾒｲｸﾌｧｲﾙを開く"},
    SystemText{kMenuSaveMakeFile, "ﾒｲｸﾌｧｲﾙの保存"},
    SystemText{kMenuSaveMakeFileAs, "ﾒｲｸﾌｧｲﾙの別名保存"},
    SystemText{kMenuExit, "終了"},
    SystemText{kMenuEdit, "編集"},
    SystemText{kMenuAddFile, "ﾌｧｲﾙの追加"},
    SystemText{kMenuInsertFile, "ﾌｧｲﾙの挿入"},
    SystemText{kMenuDeleteFile, "ﾌｧｲﾙの削除"},
    SystemText{kMenuAssemble, "アセンブル"},
    SystemText{kToolbarSaveAs, "名前保存"},
    SystemText{kToolbarAdd, "追加"},
    SystemText{kToolbarInsert, "挿入"},
    SystemText{kToolbarDelete, "削除"},
    SystemText{kMenuOpenSource, "ソースを開く"},
    SystemText{kMenuGoToListingLine, "リストの行へ移動"},
    SystemText{kMenuNextError, "次のエラー"},
    SystemText{kMenuPreviousError, "前のエラー"},
    SystemText{kWarningList, "警告一覧"},
    SystemText{kMenuNewMakeFile, "ﾒｲｸﾌｧｲﾙの新規作成"},
    SystemText{kSaveChangesText, "ﾒｲｸﾌｧｲﾙが変更されています。保存しますか?"},
    SystemText{kConfirmCaption, "確認"},
    SystemText{kCreateFileText, "ﾌｧｲﾙがありません。作成しますか?"},
    SystemText{kNameTooLong, "  ﾌｧｲﾙ名が99文字を超えます。"},
    SystemText{kNothingToSave, "ﾌｧｲﾙがないため、ﾒｲｸﾌｧｲﾙは変更していません。"},
    SystemText{kColumnAddress, "ｱﾄﾞﾚｽ"},
    SystemText{kColumnCode, "ｺｰﾄﾞ"},
    SystemText{kColumnLabel, "ﾗﾍﾞﾙ"},
    SystemText{kColumnStatement, "ｽﾃｰﾄﾒﾝﾄ"},
    SystemText{kColumnRemark, "ｺﾒﾝﾄ"},
    SystemText{kColumnError, "ｴﾗｰ"},
    SystemText{kFindPrompt, "検索:"},
    SystemText{kGoToAddressPrompt, "ｱﾄﾞﾚｽへ移動:"},
    SystemText{kNotFound, "見つかりません。"},
    SystemText{kMenuSimulate, "ｼﾐｭﾚｰﾄ"},
    SystemText{kSaveSourceText, "ｿｰｽが変更されています。保存しますか?"},
    SystemText{kMenuOpenInExternalEditor, "外部ｴﾃﾞｨﾀで開く"},
};

// The English that the terminal and the language server print after the
// system's Japanese texts, so that a reader without Japanese knows what went
// wrong. The files and the window keep the texts exactly as they are.
struct Gloss {
  std::string_view text;     // the system's text, CP932 bytes
  std::string_view english;  // printed in parentheses after it
};
inline constexpr std::array kGlosses{
    Gloss{kGrammarError, "no pattern of the notation fits this statement"},
    // The message follows the file name after two blanks; the text is
    // what comes after them.
    Gloss{kFileNotFound.substr(2), "file not found"},
    Gloss{kDuplicateLabel, "a label of the same name exists"},
    Gloss{kDuplicateSub, "a subroutine of the same name exists"},
    Gloss{kTooManySymbols, "more than 1000 labels, constants and subroutines"},
    Gloss{kMacroNameTooLong, "a macro name longer than 29 characters"},
    Gloss{kTooManyMacros, "more than 1000 macro definitions"},
    Gloss{kMacroAbnormalEnd, "a macro ran past its end without END MACRO"},
};

// The gloss of exactly this text (CP932), or an empty view.
constexpr std::string_view gloss_of(std::string_view cp932_text) {
  for (const Gloss& gloss : kGlosses) {
    if (gloss.text == cp932_text) return gloss.english;
  }
  return {};
}

}  // namespace korva::texts
