// The six point buffers of the curves (QTY, TKBY, RKBY, TxTIM, RxTIM and the
// link state): address space reserved once, memory committed while a paint
// builds and draws its points and given back as soon as it is done, so the
// buffers occupy nothing between paints.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>

#include "core/app_state.h"

enum CurveSeries : int {
    kSeriesQty = 0,
    kSeriesTkby = 1,
    kSeriesRkby = 2,
    kSeriesTxTim = 3,
    kSeriesRxTim = 4,
    kSeriesState = 5,
};

// One point, two 32-bit coordinates; kPointBufferBytes holds 24000 of them.
struct CurvePoint {
    std::int32_t X;
    std::int32_t Y;
};

// Reserves the six buffers (0 at the first failure) / releases them.
int ReserveCurveMemory(AppState& state);
void ReleaseCurveMemory(AppState& state);
// Commits the first `count` points of every buffer; 0 when that fails.
int CommitCurvePoints(AppState& state, int count);
// Gives the committed memory of every buffer back.
void GiveBackCurvePoints(AppState& state);
// Point 0 of a series (null when the buffer is not reserved).
CurvePoint* CurveSeriesPoints(AppState& state, int series);
