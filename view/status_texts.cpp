// Status bar layout and texts.
#include "view/status_texts.h"

#include <cstdio>
#include <cstring>

#include "core/cycle_state.h"
#include "core/platform_port.h"

const char* const StatusFieldLabels[kStatusFieldCount] = {
    "", "Time:        ", "Qty:  ", "T/Rkby:      ", "YZoom: %d", "XZoom: %d", "X-Pos:         ",
};

void ComputeStatusFieldWidths(int count, const char* const* labels, int baseUnitX, int* widths) {
    int sum = 0;
    for (int i = 0; i < count; ++i) {
        sum += baseUnitX * static_cast<int>(std::strlen(labels[i]));
        widths[count - 1 - i] = sum;
    }
}

void LayoutStatusFields(int clientRight, int count, const int* widths, int* edges) {
    for (int k = 0; k < count; ++k) {
        edges[k] = clientRight - widths[k];
    }
}

void FitStatusFields(int count, const int* needed, int* edges) {
    if (count > kStatusFieldCount) count = kStatusFieldCount;
    int room = edges[0] > 0 ? edges[0] : 0;  // what field 0 can give
    int widths[kStatusFieldCount] = {};
    for (int k = count - 1; k >= 1; --k) {
        widths[k] = edges[k] - edges[k - 1];
        int extra = needed[k] > widths[k] ? needed[k] - widths[k] : 0;
        if (extra > room) extra = room;
        room -= extra;
        widths[k] += extra;
    }
    for (int k = count - 1; k >= 1; --k) edges[k - 1] = edges[k] - widths[k];
}

void ShowCycleStatus(const AppState& state, PlatformPort& port, int channel) {
    const char* text = nullptr;
    switch (state.ChannelTable[channel].CycleState) {
        case CycleState::Idle:
            text = "Ready";
            break;
        case CycleState::CallRequested:
        case CycleState::Connecting:
            text = "Call Digipeater...";
            break;
        case CycleState::SendCommand:
        case CycleState::AwaitPrompt:
            text = "Connected...";
            break;
        case CycleState::CollectReply:
            text = "Get Data...";
            break;
        case CycleState::CallFailed:
            text = "Timeout";
            break;
        case CycleState::ReplyOverflow:
            text = "General Error";
            break;
        case CycleState::ReplyComplete:
        case CycleState::StoreReply:
        case CycleState::Disconnect:
        case CycleState::AwaitDisconnect:
        default:
            return;  // the previous state's text stays
    }
    port.setStatusText(kFieldCycle, text);
}

void ShowXZoom(PlatformPort& port, int xZoom) {
    char text[kStatusTextSize];
    std::snprintf(text, sizeof text, "XZoom: %d", xZoom);
    port.setStatusText(kFieldXZoom, text);
}

void ShowYZoom(PlatformPort& port, int yZoomStep, int yScale) {
    char text[kStatusTextSize];
    if (yScale == 10) {
        std::snprintf(text, sizeof text, "YZoom: 0,%d", yZoomStep);
    } else {
        std::snprintf(text, sizeof text, "YZoom: %d", yZoomStep);
    }
    port.setStatusText(kFieldYZoom, text);
}
