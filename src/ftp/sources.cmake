# The FTP client: the object, its connection choices, commands, directories, listing, tree
# removal, download, upload, the handle restorers of the operations, and the tree transfers
# (tree/).
set(RKCURL_FTP_SOURCES
    ftp/CRFTP.cpp
    ftp/FindRecord.cpp
    ftp/FtpCommands.cpp
    ftp/FtpConnectionMode.cpp
    ftp/FtpDirectories.cpp
    ftp/FtpDownload.cpp
    ftp/FtpEnumeration.cpp
    ftp/FtpListingFetch.cpp
    ftp/FtpTreeRemoval.cpp
    ftp/FtpUpload.cpp
    ftp/HandleRestore.cpp
    ftp/CRFTPTree.cpp
    ftp/tree/FileHashes.cpp
    ftp/tree/LocalTree.cpp
    ftp/tree/RemoteListing.cpp
    ftp/tree/RemoteTree.cpp
    ftp/tree/SafeNames.cpp
    ftp/tree/TreeCompare.cpp
    ftp/tree/TreeTransfers.cpp
    ftp/tree/TreeMirror.cpp
    ftp/tree/TreeWalk.cpp)
