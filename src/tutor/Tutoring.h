#pragma once
// Word choice, answers and the report: the tutoring operations. Each takes the
// Tutor it works on; callers hold tutor.state.lock (the operations that the
// window thread calls directly take it themselves, see below).
#include <cstdint>

#include "tutor/TutorState.h"

namespace lexipond {

uint32_t RandomBelow(Tutor& tutor, uint32_t n);
uint32_t SumUserField(Tutor& tutor, uint32_t field);
void SetUpUser(Tutor& tutor);      // takes the lock
void LoadCurrentWord(Tutor& tutor);
int32_t ChooseNextWord(Tutor& tutor); // takes the lock
void HandleClick(Tutor& tutor, uint16_t x, uint16_t y); // takes the lock
void RecordAnswer(Tutor& tutor, bool correct);

// "7 of 9 (77%)"; returns the length. destination needs 42 bytes.
uint32_t PercentText(uint32_t part, uint32_t whole, char* destination);

} // namespace lexipond
