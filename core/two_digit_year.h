// Records and the settings keep the year in two digits. Every reader that
// needs the full year (the CSV export, the metrics, the availability counts)
// widens it this one way: below 70 is 20yy, the rest 19yy, so the default
// year 97 of a channel never called is 1997, not a date in the future.
//
// Threading: any thread (a pure function).
#pragma once

// A year of 100 or more is taken as already full.
constexpr int FullYear(int year) {
    return year >= 100 ? year : (year < 70 ? 2000 + year : 1900 + year);
}
