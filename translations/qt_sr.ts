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
    <name>QFileDialog</name>
    <message><source>Look in:</source><translation>Pogledaj u:</translation></message>
    <message><source>File &amp;name:</source><translation>&amp;Ime datoteke:</translation></message>
    <message><source>Files of type:</source><translation>Vrsta datoteke:</translation></message>
    <message><source>&amp;Save</source><translation>&amp;Sačuvaj</translation></message>
    <message><source>&amp;Open</source><translation>&amp;Otvori</translation></message>
    <message><source>Save As</source><translation>Sačuvaj kao</translation></message>
    <message><source>%1 already exists.
Do you want to replace it?</source><translation>„%1” već postoji.
Da li da ga zamenim?</translation></message>
    <message><source>Back</source><translation>Nazad</translation></message>
    <message><source>Forward</source><translation>Napred</translation></message>
    <message><source>Parent Directory</source><translation>Fascikla iznad</translation></message>
    <message><source>Create New Folder</source><translation>Napravi novu fasciklu</translation></message>
    <message><source>List View</source><translation>Spisak</translation></message>
    <message><source>Detail View</source><translation>Pojedinosti</translation></message>
    <message><source>Go back</source><translation>Idi nazad</translation></message>
    <message><source>Go forward</source><translation>Idi napred</translation></message>
    <message><source>Go to the parent directory</source><translation>Idi u fasciklu iznad</translation></message>
    <message><source>Create a New Folder</source><translation>Napravi novu fasciklu</translation></message>
    <message><source>Change to list view mode</source><translation>Prikaži kao spisak</translation></message>
    <message><source>Change to detail view mode</source><translation>Prikaži sa pojedinostima</translation></message>
    <message><source>New Folder</source><translation>Nova fascikla</translation></message>
    <message><source>&amp;New Folder</source><translation>&amp;Nova fascikla</translation></message>
    <message><source>Show &amp;hidden files</source><translation>Prikaži &amp;skrivene datoteke</translation></message>
    <message><source>Sidebar</source><translation>Bočna traka</translation></message>
    <message><source>List of places and bookmarks</source><translation>Spisak mesta i obeleživača</translation></message>
    <message><source>Directory:</source><translation>Fascikla:</translation></message>
    <message><source>All Files (*)</source><translation>Sve datoteke (*)</translation></message>
    <message><source>All files (*)</source><translation>Sve datoteke (*)</translation></message>
    <message><source>%1
Directory not found.
Please verify the correct directory name was given.</source><translation>%1
Fascikla nije nađena.
Proverite ime fascikle.</translation></message>
</context>
<context>
    <name>QFileSystemModel</name>
    <message><source>Name</source><translation>Ime</translation></message>
    <message><source>Size</source><translation>Veličina</translation></message>
    <message><source>Type</source><translation>Vrsta</translation></message>
    <message><source>Kind</source><translation>Vrsta</translation></message>
    <message><source>Date Modified</source><translation>Izmenjeno</translation></message>
    <message><source>Computer</source><translation>Računar</translation></message>
    <message><source>My Computer</source><translation>Moj računar</translation></message>
</context>
<context>
    <name>QPrintPreviewDialog</name>
    <message><source>Print Preview</source><translation>Pregled pre štampe</translation></message>
    <message><source>Print</source><translation>Štampaj</translation></message>
    <message><source>Fit page</source><translation>Cela strana</translation></message>
    <message><source>Fit width</source><translation>Cela širina</translation></message>
    <message><source>Zoom in</source><translation>Uvećaj</translation></message>
    <message><source>Zoom out</source><translation>Umanji</translation></message>
    <message><source>Portrait</source><translation>Uspravno</translation></message>
    <message><source>Landscape</source><translation>Položeno</translation></message>
    <message><source>Page Setup</source><translation>Podešavanje strane</translation></message>
    <message><source>Page setup</source><translation>Podešavanje strane</translation></message>
    <message><source>Show overview of all pages</source><translation>Prikaži sve strane</translation></message>
    <message><source>Show single page</source><translation>Prikaži jednu stranu</translation></message>
    <message><source>Show facing pages</source><translation>Prikaži dve susedne strane</translation></message>
    <message><source>First page</source><translation>Prva strana</translation></message>
    <message><source>Last page</source><translation>Poslednja strana</translation></message>
    <message><source>Previous page</source><translation>Prethodna strana</translation></message>
    <message><source>Next page</source><translation>Sledeća strana</translation></message>
    <message><source>Export to PDF</source><translation>Izvezi u PDF</translation></message>
</context>
<context>
    <name>QPrintWidget</name>
    <message><source>Printer</source><translation>Štampač</translation></message>
    <message><source>&amp;Name:</source><translation>&amp;Ime:</translation></message>
    <message><source>P&amp;roperties</source><translation>&amp;Svojstva</translation></message>
    <message><source>Location:</source><translation>Mesto:</translation></message>
    <message><source>Type:</source><translation>Vrsta:</translation></message>
    <message><source>Output &amp;file:</source><translation>&amp;Datoteka:</translation></message>
    <message><source>Preview</source><translation>Pregled</translation></message>
</context>
<context>
    <name>QPrintDialog</name>
    <message><source>Print</source><translation>Štampa</translation></message>
    <message><source>&amp;Print</source><translation>Š&amp;tampaj</translation></message>
    <message><source>&amp;Options &gt;&gt;</source><translation>&amp;Opcije &gt;&gt;</translation></message>
    <message><source>&amp;Options &lt;&lt;</source><translation>&amp;Opcije &lt;&lt;</translation></message>
    <message><source>Print to File (PDF)</source><translation>Štampa u datoteku (PDF)</translation></message>
    <message><source>Local file</source><translation>Datoteka na ovom računaru</translation></message>
    <message><source>Write PDF file</source><translation>Piše PDF datoteku</translation></message>
    <message><source>%1 already exists.
Do you want to overwrite it?</source><translation>„%1” već postoji.
Da li da ga zamenim?</translation></message>
    <message><source>All Pages</source><translation>Sve strane</translation></message>
    <message><source>Odd Pages</source><translation>Neparne strane</translation></message>
    <message><source>Even Pages</source><translation>Parne strane</translation></message>
    <message><source>%1 is a directory.
Please choose a different file name.</source><translation>„%1” je fascikla.
Izaberite drugo ime datoteke.</translation></message>
    <message><source>File %1 is not writable.
Please choose a different file name.</source><translation>U datoteku „%1” ne može da se piše.
Izaberite drugo ime datoteke.</translation></message>
    <message><source>The &apos;From&apos; value cannot be greater than the &apos;To&apos; value.</source><translation>Strana „od” ne može biti posle strane „do”.</translation></message>
</context>
<context>
    <name>QPrintSettingsOutput</name>
    <message><source>Copies</source><translation>Primerci</translation></message>
    <message><source>Copies:</source><translation>Broj primeraka:</translation></message>
    <message><source>Print range</source><translation>Šta se štampa</translation></message>
    <message><source>Print all</source><translation>Sve</translation></message>
    <message><source>Pages from</source><translation>Strane od</translation></message>
    <message><source>to</source><translation>do</translation></message>
    <message><source>Pages</source><translation>Strane</translation></message>
    <message><source>Current Page</source><translation>Tekuća strana</translation></message>
    <message><source>Selection</source><translation>Izbor</translation></message>
    <message><source>Collate</source><translation>Po primercima</translation></message>
    <message><source>Reverse</source><translation>Obrnutim redom</translation></message>
    <message><source>Options</source><translation>Opcije</translation></message>
    <message><source>Output Settings</source><translation>Podešavanje štampe</translation></message>
    <message><source>Color Mode</source><translation>Boje</translation></message>
    <message><source>Color</source><translation>U boji</translation></message>
    <message><source>Grayscale</source><translation>Sivo</translation></message>
    <message><source>Duplex Printing</source><translation>Obostrana štampa</translation></message>
    <message><source>None</source><translation>Ne</translation></message>
    <message><source>Long side</source><translation>Po dužoj ivici</translation></message>
    <message><source>Short side</source><translation>Po kraćoj ivici</translation></message>
    <message><source>Page Set:</source><translation>Strane:</translation></message>
</context>
<context>
    <name>QPageSetupWidget</name>
    <message><source>Paper</source><translation>Papir</translation></message>
    <message><source>Page size:</source><translation>Veličina strane:</translation></message>
    <message><source>Width:</source><translation>Širina:</translation></message>
    <message><source>Height:</source><translation>Visina:</translation></message>
    <message><source>Paper source:</source><translation>Izvor papira:</translation></message>
    <message><source>Orientation</source><translation>Položaj</translation></message>
    <message><source>Portrait</source><translation>Uspravno</translation></message>
    <message><source>Landscape</source><translation>Položeno</translation></message>
    <message><source>Reverse landscape</source><translation>Obrnuto položeno</translation></message>
    <message><source>Reverse portrait</source><translation>Obrnuto uspravno</translation></message>
    <message><source>Margins</source><translation>Margine</translation></message>
    <message><source>top margin</source><translation>gornja margina</translation></message>
    <message><source>bottom margin</source><translation>donja margina</translation></message>
    <message><source>left margin</source><translation>leva margina</translation></message>
    <message><source>right margin</source><translation>desna margina</translation></message>
    <message><source>Page Layout</source><translation>Raspored</translation></message>
    <message><source>Page order:</source><translation>Redosled strana:</translation></message>
    <message><source>Pages per sheet:</source><translation>Strana po listu:</translation></message>
    <message><source>Millimeters (mm)</source><translation>Milimetri (mm)</translation></message>
    <message><source>Inches (in)</source><translation>Inči (in)</translation></message>
    <message><source>Points (pt)</source><translation>Tačke (pt)</translation></message>
</context>
<context>
    <name>QPrintPropertiesWidget</name>
    <message><source>Page</source><translation>Strana</translation></message>
    <message><source>Advanced</source><translation>Napredno</translation></message>
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
