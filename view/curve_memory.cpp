#include "view/curve_memory.h"

#include <cstddef>

int ReserveCurveMemory(AppState& state) {
    for (ReservedArea& area : state.CurvePoints) {
        if (area.Base == nullptr && !ReserveArea(area, kPointBufferBytes)) return 0;
    }
    return 1;
}

void ReleaseCurveMemory(AppState& state) {
    for (ReservedArea& area : state.CurvePoints) ReleaseArea(area);
}

int CommitCurvePoints(AppState& state, int count) {
    if (count <= 0) return 1;
    const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(CurvePoint);
    for (ReservedArea& area : state.CurvePoints) {
        if (area.Base == nullptr || !CommitArea(area, bytes)) return 0;
    }
    return 1;
}

void GiveBackCurvePoints(AppState& state) {
    for (ReservedArea& area : state.CurvePoints) {
        if (area.Base != nullptr && area.Committed > 0) DecommitArea(area);
    }
}

CurvePoint* CurveSeriesPoints(AppState& state, int series) {
    return reinterpret_cast<CurvePoint*>(state.CurvePoints[series].Base);
}
