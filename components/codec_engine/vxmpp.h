// The call interface of the codec engine VxMpp.so: eight entry points with plain C linkage.
//
// An argument vector is a command line in the encoder's style: element 0 is the caller's program
// path (never looked at), the others are options and two placeholder paths. `mymp3` replaces the
// vector's first path by `input` and its second by `output`; `mymp3d` replaces the first by
// `input` and writes the decoded WAV to the vector's last element. Both return a VxResult:
// VX_OK on success; VxPlainStrError names every result.
//
// The progress getters and the cancel pair may be called from any thread while another thread is
// inside `mymp3` or `mymp3d`. A cancel request (SetCancelEncode with a nonzero value) stops a
// running encode within a few milliseconds and stands until SetCancelEncode(0); decodes do not
// look at it, so a request left standing by an encoding tool never keeps a file from opening.
// Decodes have a request of their own, SetCancelDecode, which likewise stands until
// SetCancelDecode(0).
// With the option "--no-replace" the output takes its name only when nothing stands there;
// VX_NAME_TAKEN says that another file took the name while the job ran. Without it an existing output
// is replaced (written through a symbolic link).
// The tag options "--tt", "--ta", "--tl" and "--tn" give the MP3 an ID3v2 tag (UTF-8 texts);
// with "--copy-tags" an MP3 encoded from an MP3 takes the input's ID3v2 and ID3v1 tags, cover
// pictures included. Tags are written before the output takes its name.
// A failed or cancelled job raises the bad indicator and leaves no output file: the output is
// written beside its target under a hidden name and renamed into place only when complete.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

/* Results of mymp3 and mymp3d. Every result but VX_OK also raises the bad indicator. */
enum VxResult {
    VX_OK = 0,
    VX_BAD_VECTOR = 1,      /* unknown option, bad option value, missing path */
    VX_BAD_INPUT = 2,       /* input missing, unreadable or not a usable sound file */
    VX_WRITE_FAILED = 3,    /* output folder not writable, disk full */
    VX_CANCELLED = 4,       /* a cancel request during the job */
    VX_ENCODER_REFUSED = 5, /* the options do not make a valid encoder setting for the sound */
    VX_NAME_TAKEN = 6       /* --no-replace: another file took the output's name meanwhile */
};

/* A short English text that names `result` ("stopped"), for messages; a result the engine does
   not know gives "unknown result". Never null; the text is static. */
const char* VxPlainStrError(int result);

int mymp3(int count, char** args, const char* input, const char* output);
int mymp3d(int count, char** args, const char* input);
void SetNoBad(void);
int GetIsBad(void);
void SetCancelEncode(int cancel);
int GetCancelEncode(void);
void SetCancelDecode(int cancel);
int GetEncode2Mp3Percent(void);
double GetDecode2WavPercent(void);

#ifdef __cplusplus
}
#endif

// Pointer types of the entry points, for callers that look them up by name at run time.
typedef int (*VxMymp3Fn)(int, char**, const char*, const char*);
typedef int (*VxMymp3dFn)(int, char**, const char*);
typedef void (*VxSetNoBadFn)(void);
typedef int (*VxGetIsBadFn)(void);
typedef void (*VxSetCancelEncodeFn)(int);
typedef int (*VxGetCancelEncodeFn)(void);
typedef void (*VxSetCancelDecodeFn)(int);
typedef int (*VxGetEncode2Mp3PercentFn)(void);
typedef double (*VxGetDecode2WavPercentFn)(void);
typedef const char* (*VxPlainStrErrorFn)(int);
