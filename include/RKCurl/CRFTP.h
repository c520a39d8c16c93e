// CRFTP: the FTP and FTPS client.
//
// Every request goes to "ftp://" + server + HREF; the HREF doubles as the session's current
// remote directory.
//
// Paths are names, not URL text: every path handed in (SetHREF, the directory operations,
// RemoveDirectoryTree, the HREF of GetFileTo and PutFile) and every listed name reaches the
// server byte for byte in CWD, MKD, RETR, STOR, APPE, LIST, DELE and RMD, whatever it holds
// (space, "#", "?", ";", "+", "[", non-ASCII as UTF-8). "%" is an ordinary character: "%41"
// names "%41", never "A". Only the URL handed to libcurl percent-encodes each segment; the
// HREF and GetCurrentDirectoryW keep the plain names. A preparing operation (Connect, GetFile,
// GetFileTo, PostFile, PutFile, the directory operations, FindFirstFileW) makes a fresh easy
// handle and leaves it in the object until the next preparation or Close; the command
// operations (Command, DeleteFileW, RemoveDirectoryW, GetCurrentDirectoryW) run on that
// handle. With SetSecure(1) the whole session runs over TLS and the server's certificate is
// accepted unchecked (checked with SetVerifyPeer). Every operation returns 0 or an RKERR_ code that
// it also leaves in m_error; the listing operations return -1 for "no (further) entry". A failure
// is logged by every operation it passes through, innermost first, so m_error ends with the
// outermost code. With SetReuseConnections(1) consecutive requests reuse the open control
// connection and its login, but only between requests with the same TLS settings (secure flag,
// SetVerifyPeer, CA file): a request that checks the certificate never runs on a connection opened
// unchecked. One object, one thread at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "RKCurl/CConnection.h"
#include "RKCurl/CRTreeEntry.h"
#include "RKCurl/Export.h"
#include "RKCurl/WindowsTypes.h"

namespace rkcurl {
struct FtpState;
}

class RKCURL_API CRFTP : public CConnection {
public:
    // No handle yet, no listing.
    CRFTP();
    // Copies the settings, the shared handle, the listing and its position: a copy made in the
    // middle of a listing continues it on its own. Assigning an object to itself changes nothing.
    CRFTP(const CRFTP& other);
    CRFTP& operator=(const CRFTP& other);
    // Lets go of the handle (libcurl's handle goes when no copy holds it any more).
    virtual ~CRFTP();

    // The code of the latest recorded failure; 0 after a preparation that succeeded.
    virtual int Validate();

    // Fetches the URL (a file's content, or a directory's listing for a path ending in "/")
    // into the emptied response body; server replies are appended to the header text.
    // Returns 0, the preparation's code, or RKERR_PERFORM (2509) with libcurl's result.
    int Connect();
    // Connect, with every failure recorded again as RKERR_GET_FILE (2517), extended code the
    // latest libcurl result.
    int GetFile();
    // Performs the prepared request without emptying the response body first (bodies add up).
    // No upload source is attached. Returns 0, the preparation's code, or 2509.
    int PostFile();
    // Uploads the local file (opened "rb") to the URL: STOR of the HREF's file, streamed
    // through ReadFunc, its size announced when it can be told. Returns 0, the preparation's
    // code, RKERR_FILE_OPEN (2507, extended 0) when the file cannot be opened, RKERR_SET_OPTION
    // (2506) or RKERR_PERFORM (2509) with libcurl's result (42 after a read error). The file is
    // closed and the upload source taken off the handle again on every path.
    int PutFile(const wchar_t* localPath);
    // With resume 0 exactly the one-argument PutFile. With resume non-zero it continues a
    // partial remote file: asks the server for the file's size (SIZE), skips that much of the
    // local file and sends the rest with APPE; a remote file that is missing is sent whole with
    // STOR, one of the local file's size sends nothing and succeeds. A remote file longer than
    // the local one fails with 2509 and libcurl's result 31, the remote file untouched.
    int PutFile(const wchar_t* localPath, int resume);
    // Downloads the HREF's file into the local file, streamed to disk as it arrives (memory
    // does not grow with the file's size; m_response is left alone). Trace "CRFTP::GetFileTo".
    //   resume 0: writes a new file beside localPath (its name plus a ".rkpart-" suffix) and
    //     moves it over localPath only when the whole file arrived and reached the disk; on
    //     any failure the temporary file is removed and an existing localPath is untouched.
    //     The new file is private while it fills; a replaced file keeps its permission bits,
    //     a new one gets the default ones.
    //   resume non-zero: appends to localPath from its current size (SIZE, then REST <size>
    //     and RETR); a missing localPath is created and fetched whole. A local file as long as
    //     the remote one succeeds without RETR; a longer one fails with libcurl's result 36.
    //     A failed transfer leaves what arrived, ready for the next resume.
    // The progress callback runs as for the other operations. Returns 0, the preparation's
    // code, RKERR_FILE_OPEN (2507, extended 0) when the local file cannot be opened or made
    // (checked before the transfer: nothing is sent), or RKERR_PERFORM (2509; RKERR_SET_OPTION
    // 2506 for a refused option) with libcurl's result and then RKERR_GET_FILE (2517). Writing,
    // flushing or moving the local file into place counts as the transfer (libcurl's write
    // error, 23). The write function and offset are taken off the handle again before the call
    // returns.
    int GetFileTo(const wchar_t* localPath, int resume);
    // Releases the handle; the listing, m_error and the settings stay. Always 0.
    int Close();

    // Sends the commands, in order, on the handle of the latest request: before the request's
    // own commands (post 0) or after them (post non-zero), with no data transferred. Empties
    // the header text first, so it holds this call's replies. An empty list sends nothing and
    // returns 0 at once. Returns 0, RKERR_COMMAND (2513; a null handle, or a reply of 400 or
    // more) or 2506, with libcurl's result. The list is taken off the handle again and freed
    // before the call returns.
    int Command(const std::vector<std::string>& commands, int post);
    // "DELE " + path, sent as given (not joined with the HREF, backslashes kept).
    // Returns 0 or RKERR_DELETE_FILE (2511) after the command's own record.
    int DeleteFileW(const wchar_t* path);
    // "RMD " + path, as given. Also 0 when the command failed but the replies hold
    // "250 Directory deleted successfully" (m_error then keeps the command's record).
    // Returns 0 or RKERR_REMOVE_DIR (2518) after the command's own record.
    int RemoveDirectoryW(const wchar_t* path);
    // Sends "PWD " to prove the session answers, gives the HREF a final "/" and reports the
    // HREF (never the server's reply). *length: capacity in characters on entry, terminator
    // included; characters written plus terminator on exit. A text that does not fit is cut
    // and still succeeds (*length stays). Capacity 0 (or a null buffer or length) writes
    // nothing and leaves *length alone. Returns 0 or RKERR_GET_CURRENT_DIR (2515).
    int GetCurrentDirectoryW(wchar_t* buffer, DWORD* length);

    // Moves the HREF to path (relative or absolute, "\" read as "/", always ending in "/"),
    // before anything is sent, then tests it with GetFile (the new directory's listing lands
    // in the response body). Returns 0, RKERR_SET_OPTION (2506; also with no handle yet) or
    // RKERR_SET_CURRENT_DIR (2514) after GetFile's records. The HREF stays moved on failure.
    int SetCurrentDirectoryW(const wchar_t* path);
    // Moves the HREF as SetCurrentDirectoryW does, then walks into it with a fresh handle,
    // creating every missing directory on the way. Returns 0, the preparation's code, 2506 or
    // RKERR_CREATE_DIR (2516) with libcurl's result. With connection reuse on, libcurl (7.88)
    // takes the directory of a creation that failed at a refused MKD as reached on that
    // connection: the same creation repeated then reports success without creating anything.
    int CreateDirectoryW(const wchar_t* path);
    // CreateDirectoryW, every failure recorded again as 2516.
    int CreateDirectoryTree(const wchar_t* path);

    // Lists the HREF's directory (a final "/" is added to the HREF and kept) and hands out the
    // first entry. Returns 0, -1 when no line was accepted (nothing recorded; the listing is
    // emptied), or RKERR_GET_FILE (2517) after GetFile's records (the previous listing stays).
    //
    // The records: FILE_ATTRIBUTE_DIRECTORY when the entry may be entered, else no attribute.
    // An entry that the listing shows as both a directory and a file (a Unix "l" line, an EPLF
    // line with "/" and "r") is a symbolic link or may be one: FindEntryIsLink tells.
    // ftLastWriteTime is the server's wall-clock reading for Unix, VMS and MS-DOS lines (also
    // before 1970, e.g. MS-DOS years 50 to 69), the local time of the instant for EPLF; 0 for
    // an EPLF line without a time and for an EPLF instant before 1970. An entry whose name
    // needs more than 259 wide characters is not handed out: a shortened name would name
    // another file. A name holding a zero byte reads as cut there. Sizes (Unix, MS-DOS, EPLF)
    // fill nFileSizeLow and, from 2^32 bytes on, nFileSizeHigh with the 64-bit byte count.
    int FindFirstFileW(WIN32_FIND_DATAW& findData);
    // The next entry of the latest listing; -1 at the end. No network, no record.
    int FindNextFileW(WIN32_FIND_DATAW& findData);
    // Whether the entry last handed out by FindFirstFileW or FindNextFileW may be a symbolic
    // link (listed as both a directory and a file); false before any listing.
    bool FindEntryIsLink() const;
    // The raw lines (without line end) of the latest listing fetched by FindFirstFileW that
    // gave no record handed out, in listing order: lines no form accepts (an empty line, a
    // summary line such as "total 12", a heading), names longer than 259 wide characters and
    // an unfinished last line. Empty before any listing; copied with the object. The listings
    // of RemoveDirectoryTree count too: after a walk they are those of the last directory it
    // listed, so a final RMD that failed over an entry not handed out can be explained.
    std::vector<std::string> FindRejectedLines() const;

    // Machine listings, off by default. With use non-zero FindFirstFileW lists with MLSD
    // instead of LIST, from the next listing on (RemoveDirectoryTree's listings too); copied
    // with the object. Records from its facts: type=dir a directory, type=cdir and type=pdir
    // left out (not counted as rejected), OS.unix=slink (with or without ":target") and
    // OS.unix=symlink a link as a Unix "l" line is (FindEntryIsLink), size the 64-bit byte
    // count, modify a UTC instant converted as an EPLF time. The name is everything after the
    // first space, exactly. Lines end in CR LF or LF; lines that are not machine listing lines
    // are kept as FindRejectedLines are. When the server refuses MLSD:
    //   5xx           the same call lists with LIST instead (no failure recorded for MLSD);
    //   500 and 502   (unknown, not implemented) are also remembered: later listings go
    //                 straight to LIST until SetUseMlsd is called again or the server named by
    //                 SetServer differs from the one that refused;
    //   550 and other 5xx  fall back for this call only;
    //   4xx, or a failure before MLSD was sent, fails as a LIST listing does (2517).
    // A server may show symbolic links as what they point to (pyftpdlib does): such an entry
    // is a plain directory to the tree walk. Returns 0.
    int SetUseMlsd(int use);
    // Whether the latest listing that FindFirstFileW fetched was a machine listing (MLSD), so
    // that its times are UTC and its sizes exact; false before any listing, after a fallback
    // to LIST and after a failed listing. Copied with the object.
    bool FindListingIsMachine() const;
    // Hidden entries, off by default. With hidden non-zero a LIST listing asks for "LIST -a",
    // so servers that leave out names starting with "." (vsftpd) show them, and
    // RemoveDirectoryTree deletes them too instead of failing at the final RMD. The "." and
    // ".." entries that come with it are never acted on by the walk. Copied with the object;
    // MLSD listings are not changed by it. Returns 0.
    int SetListHidden(int hidden);

    // How the session connects; each is off (libcurl's default) until called, copied with the
    // object, effective from the next preparation, and returns 0.
    //   SetImplicitTls(non-zero): TLS from the first byte, on an "ftps://" URL (port 990 when
    //     the server names none); the session is secure as with SetSecure(1), whatever that
    //     flag holds: TLS for control and data, the certificate unchecked unless SetVerifyPeer.
    //   SetActivePort(port): active mode, the server connects back to the client (PORT or
    //     EPRT): libcurl's CURLOPT_FTPPORT, an address, host name or interface, optionally with
    //     ":port" or ":low-high", or "-" for the address of the control connection. Null:
    //     passive mode, nothing set.
    //   SetUseEpsv(use): whether passive mode tries EPSV before PASV (CURLOPT_FTP_USE_EPSV).
    //   SetUseEprt(use): whether active mode tries EPRT before PORT (CURLOPT_FTP_USE_EPRT).
    int SetImplicitTls(int implicit);
    int SetActivePort(const wchar_t* port);
    int SetUseEpsv(int use);
    int SetUseEprt(int use);

    // Removes the directory with everything below it, depth first in listing order: saves the
    // directory (GetCurrentDirectoryW), enters path, lists it, deletes files, recurses into
    // directories, returns to the saved directory and sends "RMD " + path. The walk never
    // follows "." or "..", never enters an entry that may be a link (it deletes the link
    // itself), and never acts on a listed name holding "/", "\", CR, LF or a zero byte (a
    // leftover entry then makes the final RMD fail). Returns 0, RKERR_DELETE_FILE (2511) when a
    // file directly inside path could not be deleted, or RKERR_REMOVE_DIR (2518). The caller's
    // listing and its position are as before the call, on every path; on failure the HREF names the
    // directory where the walk stopped.
    //
    // Limits of the walk, each ending it with 2518: a path that is empty, only separators, or
    // whose last segment ("/" and "\" separate, trailing ones ignored) is "." or ".." is
    // refused before anything is sent (extended code 0); the walk descends at most
    // kRemoveTreeMaxDepth levels below path (a directory listed at that depth is not entered);
    // where the saved directory would not fit its 260 characters it stops before entering,
    // rather than returning to a cut path. Nothing outside the tree is touched.
    int RemoveDirectoryTree(const wchar_t* path);
    // How many levels below its path RemoveDirectoryTree descends at most.
    static constexpr int kRemoveTreeMaxDepth = 64;

    // Mirrors the remote directory remotePath (joined to the HREF as the directory operations
    // join paths; the HREF is unchanged afterwards) into the local directory localPath, made
    // with its parents when missing. Lists with MLSD ("LIST -a" where the server refuses it);
    // transfers over up to SetTreeConnections connections at once, each logging in
    // once; every file is written beside its target and moved into place only when its size
    // (and hash, with RKTREE_CHECKSUM) matches the source's. Links are not followed, "." and
    // ".." passed over, names that are no safe local name refused (RKTREE_REFUSED) and never
    // written; the walk descends at most kRemoveTreeMaxDepth levels. Returns 0 when no entry
    // failed or was refused, otherwise RKERR_GET_TREE (2521; also when the source cannot be
    // listed) after one failure record per failed entry; the record keeps the first failure's
    // extended code. GetTreeReport tells what was done. Trace "CRFTP::GetDirectoryTree".
    int GetDirectoryTree(const wchar_t* remotePath, const wchar_t* localPath);
    // The other way: mirrors the local tree onto the server, remote directories created as
    // needed; local symbolic links are not followed. An uploaded file counts when the server
    // lists it, after the transfers, with the local size; its time is set with MFMT when the
    // server offers it.
    // Returns 0 or RKERR_PUT_TREE (2522). Trace "CRFTP::PutDirectoryTree".
    int PutDirectoryTree(const wchar_t* localPath, const wchar_t* remotePath);
    // The tree settings, copied with the object, for the next tree transfer; each returns 0.
    // RKTREE_SIZE_AND_TIME (default), RKTREE_MISSING, RKTREE_ALWAYS or RKTREE_CHECKSUM (a
    // server that offers no hash command then fails the call before anything is transferred).
    int SetTreeCompare(int mode);
    // Non-zero: after the transfers, deletes at the destination what the source lacks,
    // deepest first; never when a listing of the source failed. Off by default.
    int SetTreeDelete(int remove);
    // Non-zero: the report gives the planned actions; nothing is transferred, made or deleted.
    int SetTreeDryRun(int dryRun);
    // Connections at once, 1 (the default) to 16; values outside are brought into that range.
    // A server that refuses one (421, a refused connect) lowers it for the call.
    int SetTreeConnections(int connections);
    // On by default: a downloaded file gets the server's modification time (MLSD or MDTM), an
    // uploaded one the local time (MFMT, when the server offers it).
    int SetTreeKeepTimes(int keep);
    // The latest tree transfer's report, sorted by path; empty before any.
    std::vector<CRTreeEntry> GetTreeReport() const;

protected:
    // Prepares a fresh handle for "ftp://" + server + HREF (its names encoded for the URL),
    // whatever the prefix; with the secure flag, TLS for control and data, certificate and
    // host name unchecked (checked with SetVerifyPeer). Then the connection choices above.
    virtual int Prepare(const std::wstring& prefix);

    // fread pass-through: the item count read.
    static size_t ReadFunc(void* destination, size_t size, size_t count, FILE* stream);

    std::vector<WIN32_FIND_DATAW> m_findData;
    std::uint64_t m_findIndex = 0;

private:
    // The library's own code reaches the members and the state through this seam.
    friend struct rkcurl::ConnectionAccess;

    // The listing settings and what the latest listing could not put into m_findData.
    rkcurl::StatePointer<rkcurl::FtpState> m_ftpState;
};
