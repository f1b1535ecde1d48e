// The case groups of the conformance run; `s` is the scratch key they work under.
#pragma once

#include "tests/conformance/Trace.h"

namespace conformance {

void pathCases(const Key &s);
void depthAndLengthCases(const Key &s);
void deleteCases(const Key &s);
void rootCases(const Key &s);
void badHandleCases();
void accessCases(const Key &s);
void linkCases(const Key &s);

void infoCases(const Key &s);
void orderCases(const Key &s);
void typeCases(const Key &s);
void queryBufferCases(const Key &s);
void valueNameCases(const Key &s);
void nonAsciiCases(const Key &s);
void dataCases(const Key &s);
void nestingCases(const Key &s);
void optionCases(const Key &s);
void wideValueCases(const Key &s);

} // namespace conformance
