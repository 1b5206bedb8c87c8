// The settings file a first exit writes, byte for byte: the golden text the
// settings, shell and program tests compare against.
#pragma once

#include <string>

inline std::string FirstExitChannel(int number) {
    return "[Channel" + std::to_string(number) +
           "]\r\nCallPath=\r\nLastHour=0\r\nLastMin=0\r\nPrevHour=0\r\nPrevMin=0\r\n"
           "LastConDay=0\r\nLastConMonth=0\r\nLastConYear=97\r\nRufAktiv=0\r\nMinutenIntervall=10\r\n";
}

inline std::string FirstExitSettings(const std::string& backend) {
    return "[Curvset]\r\nBalken=1\r\nqty=1\r\ntime=1\r\nbytes=1\r\nshowqty=1\r\nshowtxtim=1\r\nshowrxtim="
           "1\r\n"
           "showtkby=1\r\nshowrkby=1\r\none_yzoom=0\r\n"
           "[Mycall]\r\nDestination Call=\r\n" +
           FirstExitChannel(1) + "[language]\r\ngerman=0\r\n" + FirstExitChannel(2) + FirstExitChannel(3) +
           FirstExitChannel(4) + "[L2]\r\nBackend=" + backend + "\r\n";
}
