<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- Qt's own texts that a person meets in the window, in Serbian (Latin
     script): Qt ships no Serbian translation of them. -->
<TS version="2.1" language="sr_RS">
<context>
    <name>QCommandLineParser</name>
    <message><source>Displays version information.</source><translation>Prikazuje izdanje programa.</translation></message>
    <message><source>Displays help on commandline options.</source><translation>Prikazuje uputstvo za opcije.</translation></message>
    <message><source>Displays help including Qt specific options.</source><translation>Prikazuje uputstvo, i za opcije Qt-a.</translation></message>
    <message><source>Unknown option &apos;%1&apos;.</source><translation>nepoznata opcija „%1”.</translation></message>
    <message><source>Unknown options: %1.</source><translation>nepoznate opcije: %1.</translation></message>
    <message><source>Missing value after &apos;%1&apos;.</source><translation>posle „%1” nedostaje vrednost.</translation></message>
    <message><source>Unexpected value after &apos;%1&apos;.</source><translation>„%1” ne prima vrednost.</translation></message>
    <message><source>[options]</source><translation>[opcije]</translation></message>
    <message><source>Usage: %1</source><translation>Upotreba: %1</translation></message>
    <message><source>Options:</source><translation>Opcije:</translation></message>
    <message><source>Arguments:</source><translation>Argumenti:</translation></message>
</context>
<context>
    <name>QLineEdit</name>
    <message><source>&amp;Undo</source><translation>&amp;Opozovi</translation></message>
    <message><source>&amp;Redo</source><translation>&amp;Ponovi</translation></message>
    <message><source>Cu&amp;t</source><translation>I&amp;scepi</translation></message>
    <message><source>&amp;Copy</source><translation>&amp;Kopiraj</translation></message>
    <message><source>&amp;Paste</source><translation>&amp;Nalepi</translation></message>
    <message><source>Delete</source><translation>Obriši</translation></message>
    <message><source>Select All</source><translation>Izaberi sve</translation></message>
</context>
<context>
    <name>QPlatformTheme</name>
    <message><source>OK</source><translation>U redu</translation></message>
    <message><source>Save</source><translation>Sačuvaj</translation></message>
    <message><source>Cancel</source><translation>Otkaži</translation></message>
    <message><source>Yes</source><translation>Da</translation></message>
    <message><source>No</source><translation>Ne</translation></message>
    <message><source>Close</source><translation>Zatvori</translation></message>
</context>
<context>
    <name>QScrollBar</name>
    <message><source>Scroll here</source><translation>Pomeri ovde</translation></message>
    <message><source>Left edge</source><translation>Levi kraj</translation></message>
    <message><source>Top</source><translation>Vrh</translation></message>
    <message><source>Right edge</source><translation>Desni kraj</translation></message>
    <message><source>Bottom</source><translation>Dno</translation></message>
    <message><source>Page left</source><translation>Strana ulevo</translation></message>
    <message><source>Page up</source><translation>Strana nagore</translation></message>
    <message><source>Page right</source><translation>Strana udesno</translation></message>
    <message><source>Page down</source><translation>Strana nadole</translation></message>
    <message><source>Scroll left</source><translation>Pomeri ulevo</translation></message>
    <message><source>Scroll up</source><translation>Pomeri nagore</translation></message>
    <message><source>Scroll right</source><translation>Pomeri udesno</translation></message>
    <message><source>Scroll down</source><translation>Pomeri nadole</translation></message>
</context>
</TS>
