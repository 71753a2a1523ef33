#!/usr/bin/env node
// Prints what the pst-extractor package sees in a PST file, as JSON:
//   { store, root: folder }
//   folder:     { name, containerClass, contentCount, unreadCount, hasSubfolders,
//                 messages: [message], subfolders: [folder] }
//   message:    { subject, messageClass, senderName, senderEmail, displayTo, displayCc,
//                 submitTime, deliveryTime, body, bodyHtml, recipients: [recipient],
//                 attachments: [attachment] }
//   recipient:  { name, email, smtp, type }
//   attachment: { filename, longFilename, method, mimeTag, contentId, size, digest, embedded }
//               digest: 64-bit FNV-1a of the data, 16 lower-case hex digits
// Exits 1 with a message on stderr when the file cannot be read.
'use strict';

const fs = require('fs');
const { PSTFile } = require('pst-extractor');

function time(d) {
  return d ? d.toISOString() : null;
}

const FNV_OFFSET = 0xcbf29ce484222325n;
const FNV_PRIME = 0x100000001b3n;
const MASK64 = (1n << 64n) - 1n;

function fnv1a64(bytes) {
  let h = FNV_OFFSET;
  for (const b of bytes) h = ((h ^ BigInt(b)) * FNV_PRIME) & MASK64;
  return h.toString(16).padStart(16, '0');
}

function attachmentOf(a) {
  // The embedded message first: reading the data stream changes what the
  // attachment object resolves afterwards.
  const embedded = a.attachMethod === 5 ? a.embeddedPSTMessage : null;
  let size = null;
  let digest = null;
  if (!embedded) {
    const stream = a.fileInputStream;
    if (stream) {
      size = stream.length.toNumber();
      const data = Buffer.alloc(size);
      stream.readCompletely(data);
      digest = fnv1a64(data);
    }
  }
  return {
    filename: a.filename,
    longFilename: a.longFilename,
    method: a.attachMethod,
    mimeTag: a.mimeTag,
    contentId: a.contentId,
    size,
    digest,
    embedded: embedded ? messageOf(embedded) : null,
  };
}

function messageOf(m) {
  const recipients = [];
  for (let i = 0; i < m.numberOfRecipients; i++) {
    const r = m.getRecipient(i);
    if (r) recipients.push({ name: r.displayName, email: r.emailAddress, smtp: r.smtpAddress, type: r.recipientType });
  }
  const attachments = [];
  for (let i = 0; i < m.numberOfAttachments; i++) attachments.push(attachmentOf(m.getAttachment(i)));
  return {
    subject: m.subject,
    messageClass: m.messageClass,
    senderName: m.senderName,
    senderEmail: m.senderEmailAddress,
    displayTo: m.displayTo,
    displayCc: m.displayCC,
    submitTime: time(m.clientSubmitTime),
    deliveryTime: time(m.messageDeliveryTime),
    body: m.body,
    bodyHtml: m.bodyHTML,
    recipients,
    attachments,
  };
}

function folderOf(f) {
  const out = {
    name: f.displayName,
    containerClass: f.containerClass,
    contentCount: f.contentCount,
    unreadCount: f.unreadCount,
    hasSubfolders: f.hasSubfolders,
    messages: [],
    subfolders: [],
  };
  // The tables, not the folder's own counts, say what is there: Outlook
  // leaves the counts out of some folders. Search folders (NID type 3) have
  // no hierarchy table.
  const searchFolder = (f.descriptorNodeId.getLowBits() & 0x1f) === 3;
  if (searchFolder) return out;
  for (let m = f.getNextChild(); m; m = f.getNextChild()) out.messages.push(messageOf(m));
  for (const s of f.getSubFolders()) out.subfolders.push(folderOf(s));
  return out;
}

function main() {
  const file = process.argv[2];
  if (!file) {
    process.stderr.write('usage: dump-pst.js FILE.pst\n');
    process.exit(2);
  }
  let pst;
  try {
    // From memory: reading through the file handle is very much slower.
    pst = new PSTFile(fs.readFileSync(file));
    const result = { store: pst.getMessageStore().displayName, root: folderOf(pst.getRootFolder()) };
    process.stdout.write(JSON.stringify(result, null, 1) + '\n');
  } catch (e) {
    process.stderr.write('pst-extractor failed: ' + (e && e.stack ? e.stack : e) + '\n');
    process.exit(1);
  } finally {
    if (pst) pst.close();
  }
}

main();
