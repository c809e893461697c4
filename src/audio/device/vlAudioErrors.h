#pragma once
// Result codes of the recorder and the player. Every operation answers a 16-bit code: 0 is
// success, a negative value names the failure. The numbering is the one stored settings, logs and
// the controller's messages use, so codes never change value; texts come as "NAME | description".

#include <QString>

#include <cstdint>

using TOleEnum = std::int16_t;

// clang-format off
inline constexpr TOleEnum NOERROR = 0;
inline constexpr TOleEnum ERR_INVALID_PLAYER = -1;
inline constexpr TOleEnum ERR_NOT_ENOUGH_MEMORY = -2;
inline constexpr TOleEnum ERR_VALUE_OUT_OF_RANGE = -3;
inline constexpr TOleEnum ERR_INVALID_WINDOW = -4;
inline constexpr TOleEnum ERR_INVALID_DS_CARD = -5;
inline constexpr TOleEnum ERR_INVALID_FILE = -6;
inline constexpr TOleEnum ERR_INVALID_PLAYLIST_FILE = -7;
inline constexpr TOleEnum ERR_CANNOT_CREATE_FILE = -8;
inline constexpr TOleEnum ERR_INVALID_SOURCE_POS = -9;
inline constexpr TOleEnum ERR_INVALID_DEST_POS = -10;
inline constexpr TOleEnum ERR_INVALID_MIXER = -11;
inline constexpr TOleEnum ERR_FX_EFFECT_UNAVAILABLE = -12;
inline constexpr TOleEnum ERR_BUFFERING = -13;
inline constexpr TOleEnum ERR_ALREADY_INITIALIZED = -14;
inline constexpr TOleEnum ERR_INTERNET_UNAVAILABLE = -15;
inline constexpr TOleEnum ERR_TIMEOUT = -16;
inline constexpr TOleEnum ERR_EAX_UNAVAILABLE = -17;
inline constexpr TOleEnum ERR_DMOFX_UNAVAILABLE = -18;
inline constexpr TOleEnum ERR_DIRECTX_OLDER = -19;
inline constexpr TOleEnum ERR_SOUND_NOT_LOADED = -20;
inline constexpr TOleEnum ERR_INVALID_FORMAT = -21;
inline constexpr TOleEnum ERR_INVALID_DRIVER = -22;
inline constexpr TOleEnum ERR_CANNOT_LOAD_FOR_MIXING = -23;
inline constexpr TOleEnum ERR_NOT_LOADED_FOR_MIXING = -24;
inline constexpr TOleEnum ERR_CHANGING_TEMPO = -25;
inline constexpr TOleEnum ERR_CHANGING_RATE = -26;
inline constexpr TOleEnum ERR_CHANGING_PITCH = -27;
inline constexpr TOleEnum ERR_EQUALIZER_BAND_UNAVAILABLE = -28;
inline constexpr TOleEnum ERR_FEEDBACK_ALREADY_AVAILABLE = -29;
inline constexpr TOleEnum ERR_FEEDBACK_NOT_CREATED = -30;
inline constexpr TOleEnum ERR_CANNOT_FADE_ON_SAME_PLAYER = -31;
inline constexpr TOleEnum ERR_FADER_NOT_READY = -32;
inline constexpr TOleEnum ERR_TRIGGER_ALREADY_EXISTS = -33;
inline constexpr TOleEnum ERR_TRIGGER_NOT_FOUND = -34;
inline constexpr TOleEnum ERR_INVALID_CD_DRIVE = -35;
inline constexpr TOleEnum ERR_CD_DRIVE_NOT_READY = -36;
inline constexpr TOleEnum ERR_CD_INVALID_TRACK = -37;
inline constexpr TOleEnum ERR_CD_INVALID_ACTION = -38;
inline constexpr TOleEnum ERR_CD_INVALID_IDENTIF_CODE = -39;
inline constexpr TOleEnum ERR_CD_IDENTIF_UNAVAIL = -40;
inline constexpr TOleEnum ERR_CD_TRACK_NOAUDIO = -41;
inline constexpr TOleEnum ERR_CD_DRIVE_BUSY = -42;
inline constexpr TOleEnum ERR_CANNOT_FADE_PLAYER_A = -43;
inline constexpr TOleEnum ERR_CANNOT_FADE_PLAYER_B = -44;
inline constexpr TOleEnum ERR_CANNOT_FADE_SMALL_SONGS = -45;
inline constexpr TOleEnum ERR_FADER_BOTH_PLAYING = -46;
inline constexpr TOleEnum ERR_CANNOT_LOAD_FOR_FADING = -47;
inline constexpr TOleEnum ERR_INFO_UNAVAILABLE = -48;
inline constexpr TOleEnum ERR_NOT_INITIALIZED = -49;
inline constexpr TOleEnum ERR_INVALID_INPUT_DEVICE = -50;
inline constexpr TOleEnum ERR_INVALID_INPUT_CHANNEL = -51;
inline constexpr TOleEnum ERR_INVALID_RECORDER = -52;
inline constexpr TOleEnum ERR_INVALID_INPUT_FORMAT = -53;
inline constexpr TOleEnum ERR_OPENING_REC_SILENCE_LOGFILE = -54;
inline constexpr TOleEnum ERR_CD_COVER_URL_NOT_AVAILABLE = -55;
inline constexpr TOleEnum ERR_CD_COVER_FILE_NOT_AVAILABLE = -56;
inline constexpr TOleEnum ERR_CDDB_QUERY_FAILED = -57;
inline constexpr TOleEnum ERR_CDDB_INFO_NOT_AVAIL = -58;
inline constexpr TOleEnum ERR_CDDB_DATA_NOT_AVAIL = -59;
inline constexpr TOleEnum ERR_CDDB_SERVERS_NOT_AVAIL = -60;
inline constexpr TOleEnum ERR_CDDB_CONNECTION_FAILURE = -61;
inline constexpr TOleEnum ERR_CD_MCI_ERROR = -62;
inline constexpr TOleEnum ERR_INTERNET_NOT_CONNECTED = -63;
inline constexpr TOleEnum ERR_RECORDER_BUSY = -64;
inline constexpr TOleEnum ERR_SOUND_WAVEFORM_NOT_ANALYSED = -65;
inline constexpr TOleEnum ERR_SPEAKERS_DISABLED = -66;
inline constexpr TOleEnum ERR_SPEAKER_REAR_UNSUPPORTED = -67;
inline constexpr TOleEnum ERR_SPEAKER_CENTER_LFE_UNSUPPORTED = -68;
inline constexpr TOleEnum ERR_SPEAKER_REAR_CENTER_UNSUPPORTED = -69;
inline constexpr TOleEnum ERR_SPEAKER_NEEDS_MONO = -70;
inline constexpr TOleEnum ERR_INVALID_SPEAKERS_CONFIG = -71;
inline constexpr TOleEnum ERR_SOUND_WAV_NOT_IN_MEMORY = -72;
inline constexpr TOleEnum ERR_RECORDER_EMPTY = -73;
inline constexpr TOleEnum ERR_ENCODER_ERROR = -84;
inline constexpr TOleEnum ERR_UNAVAIL_EDITION = -98;
inline constexpr TOleEnum ERROR_TOO_MANY_PLAYERS = -99;
inline constexpr TOleEnum ERR_GENERIC = -100;
inline constexpr TOleEnum ERR_UNDEFINED_PHR = -255;
// clang-format on

// "NAME | description" for a code taken as a signed 16-bit value; a code outside the table gives
// "ERR_ELSE | Error code undefined (XXXXXXXX)" with the code in eight hexadecimal digits.
QString AudioErrorText(int ErrNum);

// How many codes the table holds (the documented codes plus 0).
int AudioErrorTableSize();
