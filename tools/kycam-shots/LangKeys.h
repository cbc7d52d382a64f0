#pragma once
// The language-file keys the tool's sources name: the texts handed to the
// message and lookup helpers, each with the section it is looked up in. The
// texts of controls are looked up as the windows are built, so a language
// file check adds the lookups it sees then (SetLangLookupHook).
#include <set>
#include <string>
#include <utility>
#include <vector>

using LangKey = std::pair<std::string, std::string>;   // section, key

// Under root/gui: the literal arguments of KyMessage, KyMessageEx, KyError,
// KyQuestion(Ex), LangText(Ex), GetLangText(Ex) and the pages' Message, Ask,
// Refuse and Tr; the constants and tables those arguments name; what the
// functions they call return (the validation rules of core/ among them); the
// literal arguments of a file's own functions that pass a text parameter on;
// and what a file's functions returning const char* return.
// A file's section is the first "P_..._DLG" it or its header names, else
// CONFIG. The page base and the other pieces under gui/pages that are not a
// ...Dlg are looked up in the section of each page that includes them.
std::set<LangKey> SourceLangKeys(const std::string& root);

// The keys the language file at path lacks, or holds with an empty text.
std::vector<LangKey> KeysMissingFrom(const std::string& path, const std::set<LangKey>& keys);
