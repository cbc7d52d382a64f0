#pragma once
// Localised texts. Keys are the English texts as the program shows them; the
// language follows from which language file lies beside the program (the
// first of lang_chn, lang_Japan, lang_Italian, lang_Russian, lang_French,
// lang_Korean, lang_Polish, lang_CHT .dat). The file is chosen at the first
// lookup and again after any lookup that found no text, so a file added while
// the program runs is picked up. Safe to call from any thread.
#include <string>

// Path of the chosen language file (the lang_chn.dat path when none exists).
// Written under the lookup lock; other threads should use GetLangFile().
extern std::string g_strLangFile;
std::string GetLangFile();

// The translation (at most 199 characters) of key in section "CONFIG", or the
// key itself when the language file has none.
std::string GetLangText(const std::string& key);
// The same for a dialog's own section, e.g. "P_NET_DLG".
std::string GetLangTextEx(const std::string& section, const std::string& key);

// -1 not chosen yet, 0 no language file, 1..8 the file found.
int GetLangChoice();
// Whether a language file lies beside the program (chosen now if need be).
bool HasLangFile();

// Called with the section and key of every lookup from then on (nullptr:
// none), under the lookup lock; for tools that list the keys the program
// looks up.
using LangLookupHook = void (*)(const std::string& section, const std::string& key);
void SetLangLookupHook(LangLookupHook hook);
void ResetLangChoiceForTesting();
