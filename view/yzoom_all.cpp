#include "view/yzoom_all.h"

void ApplyYZoomToAll(AppState& state, int yZoomStep, int yScale) {
    for (ChannelRecord& channel : state.ChannelTable) {
        channel.YZoomStep = yZoomStep;
        channel.YScale = yScale;
    }
}
