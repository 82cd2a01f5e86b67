// The table of language texts the windows show: slot k holds language text
// k of the current language, loaded from "dat\xx.dat" beside the executable.
//
// Texts used as formats take their text arguments as UTF-16 ("%ls") and
// their numbers as "%d", which every wide formatting function of this
// toolchain reads alike.
#pragma once

#include <cstdint>
#include <string>

const uint32_t kLanguageSlots = 256;
const uint32_t kLanguageSlotUnits = 512;
const uint32_t kLanguageCount = 5;

extern wchar_t LanguageTable[kLanguageSlots][kLanguageSlotUnits];

// False, with the table unchanged, for an index above 4 and for a language
// file that is missing or holds no record: a start with it would show an
// interface without a word.
bool LoadLanguage(uint32_t index);
// At start: the chosen language, or else the first of the five whose file
// loads, English before the others; the index loaded, or -1 when none
// does. One missing or damaged file must not stop every later start.
int32_t LoadStartLanguage(int32_t chosen);
// The slot in the ANSI code page; empty for an id outside the table.
std::string GetLanguageString(int32_t id);
// The "enc_resource" tool: every "dat\string_*.txt" present becomes its
// language file, replaced whole.
void EncryptLanguageFiles();
