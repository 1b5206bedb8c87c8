// The states of a channel's connect cycle, numbered as ChannelRecord's
// CycleState byte keeps them. The connect cycle moves a channel through them;
// the history store, the status bar and the dialogs only read them.
#pragma once

enum class CycleState : unsigned char {
    Idle = 0,
    CallRequested = 1,
    Connecting = 2,
    SendCommand = 3,
    AwaitPrompt = 4,
    CollectReply = 5,
    ReplyComplete = 6,
    CallFailed = 7,
    ReplyOverflow = 8,
    StoreReply = 9,
    Disconnect = 10,
    AwaitDisconnect = 11,
};
