// The animation's record inside a WebP's XMP packet, where metadata readers
// and validators expect it, under Velmora's own namespace.
#pragma once

#include <QByteArray>

// The namespace the record's element lives in.
inline constexpr char kWebpRecordNamespace[] = "https://velmora.app/ns/animation/1.0/";

// An XMP packet that holds the record's text (UTF-8 "key=value" lines).
QByteArray WebpRecordXmp(const QByteArray& record);

// The record held in an XMP packet; empty when the packet is not well formed
// or holds no record of ours (another program's metadata).
QByteArray WebpRecordFromXmp(const QByteArray& xmp);
