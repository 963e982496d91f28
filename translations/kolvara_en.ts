<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Backup</name>
    <message>
        <source>Registar na serveru ovaj program ne kopira: njegovu rezervnu kopiju pravi pg_dump na serveru (vidite docs/several-desks.md).</source>
        <translation>This program does not copy a register on a server: pg_dump makes its backup on the server (see docs/several-desks.md).</translation>
    </message>
    <message>
        <source>Fascikla za rezervne kopije %1 ne može da se napravi: %2 je datoteka, a ne fascikla. Sklonite tu datoteku, ili postavite XDG_DATA_HOME na drugu fasciklu.</source>
        <translation>The backup folder %1 cannot be made: %2 is a file, not a folder. Move that file away, or set XDG_DATA_HOME to another folder.</translation>
    </message>
    <message>
        <source>Fascikla za rezervne kopije %1 ne može da se napravi: u %2 ne može da se piše. Dozvolite upis u nju, ili postavite XDG_DATA_HOME na drugu fasciklu.</source>
        <translation>The backup folder %1 cannot be made: %2 cannot be written to. Allow writing there, or set XDG_DATA_HOME to another folder.</translation>
    </message>
    <message>
        <source>Na disku nema mesta za kopiju registra: treba %1 MB, a u %2 je slobodno %3 MB. Oslobodite prostor i pokušajte ponovo; dosadašnje kopije su ostale.</source>
        <translation>There is no room on the disk for a copy of the register: it needs %1 MB, and %2 has %3 MB free. Free some space and try again; the earlier copies are kept.</translation>
    </message>
    <message>
        <source>Kopija registra %1 nije napravljena: drugi program predugo drži registar zaključan dok upisuje. Pokušajte ponovo malo kasnije.</source>
        <translation>No copy of the register %1 was made: another program has kept it locked too long while writing. Try again a little later.</translation>
    </message>
    <message>
        <source>Kopija nije napravljena. %1</source>
        <translation>No copy was made. %1</translation>
    </message>
    <message>
        <source>Kopija registra %1 nije napravljena: registar ne može da se pročita (%2). Registar je možda oštećen; vratite ga iz poslednje dobre kopije.</source>
        <translation>No copy of the register %1 was made: the register cannot be read (%2). It may be damaged; restore it from the last good copy.</translation>
    </message>
    <message>
        <source>Kopija registra nije napravljena: disk je pun (%1). Oslobodite prostor na disku fascikle %2 i pokušajte ponovo; dosadašnje kopije su ostale.</source>
        <translation>No copy of the register was made: the disk is full (%1). Free some space on the disk of the folder %2 and try again; the earlier copies are kept.</translation>
    </message>
    <message>
        <source>Kopija registra nije napravljena: u %1 ne može da se upiše (%2). Dozvolite upis u tu fasciklu i pokušajte ponovo; dosadašnje kopije su ostale.</source>
        <translation>No copy of the register was made: %1 cannot be written to (%2). Allow writing to that folder and try again; the earlier copies are kept.</translation>
    </message>
    <message>
        <source>Kopija %1 ne može da se pročita (%2). Registar je ostao kakav je; izaberite drugu kopiju.</source>
        <translation>The copy %1 cannot be read (%2). The register is as it was; choose another copy.</translation>
    </message>
    <message>
        <source>Kopija ne može da se upiše pored registra, u %1 (%2). Registar je ostao kakav je; oslobodite prostor ili dozvolite upis u tu fasciklu.</source>
        <translation>The copy cannot be written beside the register, in %1 (%2). The register is as it was; free some space or allow writing to that folder.</translation>
    </message>
    <message>
        <source>Kopija %1 nije ispravna (provera kaže: %2). Registar je ostao kakav je; izaberite drugu kopiju.</source>
        <translation>The copy %1 is not sound (the check says: %2). The register is as it was; choose another copy.</translation>
    </message>
    <message>
        <source>Kopija registra %1 nije ispravna (provera kaže: %2), pa nije sačuvana; dosadašnje kopije su ostale. Registar je verovatno oštećen: ne menjajte ga dalje i vratite ga iz poslednje dobre kopije.</source>
        <translation>The copy of the register %1 is not sound (the check says: %2), so it was not kept; the earlier copies are kept. The register is probably damaged: change nothing more in it and restore it from the last good copy.</translation>
    </message>
    <message>
        <source>Kopija ne može da se upiše na disk u %1 (%2); disk je možda pun. Oslobodite prostor i pokušajte ponovo.</source>
        <translation>The copy cannot be written to the disk in %1 (%2); the disk may be full. Free some space and try again.</translation>
    </message>
    <message>
        <source>U fasciklu za rezervne kopije %1 ne može da se piše (%2). Dozvolite upis u nju, ili postavite XDG_DATA_HOME na drugu fasciklu.</source>
        <translation>The backup folder %1 cannot be written to (%2). Allow writing there, or set XDG_DATA_HOME to another folder.</translation>
    </message>
    <message>
        <source>Kopija registra ne može da se postavi na %1 (%2).</source>
        <translation>The copy of the register cannot be put at %1 (%2).</translation>
    </message>
    <message>
        <source>Kopija %1 ne postoji. Spisak kopija registra daje kolvara-backup --list REGISTAR.</source>
        <translation>The copy %1 does not exist. kolvara-backup --list REGISTER lists the register&apos;s copies.</translation>
    </message>
    <message>
        <source>Fascikla registra %1 ne postoji: napravite je, pa vratite kopiju ponovo.</source>
        <translation>The register&apos;s folder %1 does not exist: make it, then restore the copy again.</translation>
    </message>
    <message>
        <source>Registar %1 je u upotrebi; prvo zatvorite program za svakim stolom, pa vratite kopiju ponovo. Registar je ostao kakav je.</source>
        <translation>The register %1 is in use; first close the program at every desk, then restore the copy again. The register is as it was.</translation>
    </message>
    <message>
        <source>Registar %1 ne može da se skloni u stranu (%2), pa kopija nije vraćena; registar je ostao kakav je.</source>
        <translation>The register %1 cannot be set aside (%2), so the copy was not restored; the register is as it was.</translation>
    </message>
    <message>
        <source>Kopija ne može da se postavi na mesto registra %1 (%2); registar je ostao kakav je.</source>
        <translation>The copy cannot be put in the place of the register %1 (%2); the register is as it was.</translation>
    </message>
    <message>
        <source>Pravi rezervnu kopiju datoteke REGISTAR sada (današnja kopija, ako je već ima, biva zamenjena), navodi njene kopije (--list) ili vraća jednu na njeno mesto (--restore). Kopije se čuvaju u $XDG_DATA_HOME/kolvara/backups (~/.local/share/kolvara/backups), u fascikli svakog registra: najnovija kopija svakog od poslednjih 7 dana i svake od 4 nedelje pre njih. Vraćanje prvo proveri kopiju, a dotadašnji registar ostavi pored njega pod imenom sa „.before-restore-” i vremenom. Registar na serveru kopira pg_dump.
Izlazni kod: 0 urađeno, 1 nije uspelo (razlog je napisan), 2 pogrešna upotreba.</source>
        <translation>Makes a backup copy of the file REGISTER now (today&apos;s copy, if there is one, is replaced), lists its copies (--list) or puts one back in its place (--restore). The copies are kept in $XDG_DATA_HOME/kolvara/backups (~/.local/share/kolvara/backups), in a folder for each register: the newest copy of each of the last 7 days, and of each of the 4 weeks before them. A restore checks the copy first, and leaves the register it replaces beside it, named with “.before-restore-” and the time. A register on a server is copied by pg_dump.
Exit code: 0 done, 1 failed (the reason is written), 2 wrong use.</translation>
    </message>
    <message>
        <source>navedi kopije registra, najnoviju prvu: datum, veličina u bajtovima, putanja</source>
        <translation>list the register&apos;s copies, the newest first: date, size in bytes, path</translation>
    </message>
    <message>
        <source>vrati KOPIJU (putanju ili datum iz --list) na mesto registra</source>
        <translation>put COPY (a path, or a date from --list) in the register&apos;s place</translation>
    </message>
    <message>
        <source>KOPIJA</source>
        <translation>COPY</translation>
    </message>
    <message>
        <source>REGISTAR</source>
        <translation>REGISTER</translation>
    </message>
    <message>
        <source>datoteka registra</source>
        <translation>the register file</translation>
    </message>
    <message>
        <source>Registar %1 još nema rezervnih kopija (u %2).
</source>
        <translation>The register %1 has no backup copies yet (in %2).
</translation>
    </message>
    <message>
        <source>Registar %1 je vraćen iz kopije %2; dotadašnjeg registra nije bilo.
</source>
        <translation>The register %1 was restored from the copy %2; there was no register before.
</translation>
    </message>
    <message>
        <source>Registar %1 je vraćen iz kopije %2; dotadašnji je sačuvan kao %3.
</source>
        <translation>The register %1 was restored from the copy %2; the one it replaced is kept as %3.
</translation>
    </message>
    <message>
        <source>Kopija registra %1 je u %2 (%3 MB).
</source>
        <translation>The copy of the register %1 is in %2 (%3 MB).
</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>uz --%1 ide vrednost, a data je prazna.</source>
        <translation>--%1 takes a value, and the one given is empty.</translation>
    </message>
    <message>
        <source>--%1 i --%2 ne mogu zajedno: izaberite jednu.</source>
        <translation>--%1 and --%2 cannot go together: choose one.</translation>
    </message>
    <message>
        <source>nedostaje ime datoteke ili registra.</source>
        <translation>the name of a file or register is missing.</translation>
    </message>
    <message>
        <source>previše imena: „%1” je suvišno.</source>
        <translation>too many names: “%1” is one too many.</translation>
    </message>
    <message>
        <source>ime datoteke ili registra je prazno.</source>
        <translation>the name of a file or register is empty.</translation>
    </message>
    <message>
        <source>Za uputstvo: %1 --help
</source>
        <translation>For help: %1 --help
</translation>
    </message>
    <message>
        <source>upozorenje: lozinka u imenu registra vidljiva je svakom korisniku ovog računara (u spisku procesa). Stavite je u ~/.pgpass, ili je izostavite, pa će biti tražena.</source>
        <translation>warning: the password in the register&apos;s name can be seen by every user of this computer (in the process list). Put it in ~/.pgpass, or leave it out and it will be asked for.</translation>
    </message>
</context>
<context>
    <name>CopyRegister</name>
    <message>
        <source>zameni registar u CILJU</source>
        <translation>replace the register in TARGET</translation>
    </message>
    <message>
        <source>redove koje CILJ odbija prepiši u tabele &lt;TABELA&gt;_SET_ASIDE</source>
        <translation>copy the rows TARGET refuses into tables &lt;TABLE&gt;_SET_ASIDE</translation>
    </message>
    <message>
        <source>redove koje CILJ odbija izostavi</source>
        <translation>leave out the rows TARGET refuses</translation>
    </message>
    <message>
        <source>IZVOR</source>
        <translation>SOURCE</translation>
    </message>
    <message>
        <source>registar koji se kopira (datoteka ili URI)</source>
        <translation>the register to copy (a file or a URI)</translation>
    </message>
    <message>
        <source>CILJ</source>
        <translation>TARGET</translation>
    </message>
    <message>
        <source>nov registar (datoteka ili URI)</source>
        <translation>the new register (a file or a URI)</translation>
    </message>
    <message>
        <source>IZVOR i CILJ su isti registar.</source>
        <translation>SOURCE and TARGET are the same register.</translation>
    </message>
    <message>
        <source>Kopira registar IZVOR u nov registar CILJ, iz datoteke na PostgreSQL server ili sa servera u datoteku. Registar na serveru se navodi URI-jem (postgresql://korisnik@server/baza); lozinku daje ~/.pgpass, ili se traži na terminalu. Piše se sve ili ništa; CILJ koji već drži registar ostaje kakav je, osim uz --force. Redove koje CILJ odbija navodi, i tada ne piše ništa, osim uz --set-aside ili --skip.
Izlazni kod: 0 sve je kopirano, 1 ništa nije napisano, 2 pogrešna upotreba, 3 napisano, ali su neki redovi izostavljeni zbog --skip.</source>
        <translation>Copies the register SOURCE into a new register TARGET, from a file onto a PostgreSQL server or from a server into a file. A register on a server is named by its URI (postgresql://user@server/database); the password comes from ~/.pgpass, or is asked for on the terminal. All or nothing is written; a TARGET that already holds a register is left as it is, unless --force is given. Rows the TARGET refuses are listed, and then nothing is written, unless --set-aside or --skip is given.
Exit status: 0 all was copied, 1 nothing was written, 2 wrong use, 3 written, but some rows were left out by --skip.</translation>
    </message>
</context>
<context>
    <name>Export</name>
    <message>
        <source>Piše osobe iz REGISTRA koje bi prozor prikazao za date početke imena, prezimena, države i grada, njegovim redom i sa njegovim naslovima kolona, u IZLAZ: CSV (UTF-8, RFC 4180) ili Excel radnu svesku (.xlsx). IZLAZ se pojavljuje ceo ili nikako; postojeći ostaje kakav je, osim uz --force. Registar na serveru se navodi URI-jem (postgresql://korisnik@server/baza).
Izlazni kod: 0 zapisano, 1 ništa nije zapisano, 2 pogrešna upotreba.</source>
        <translation>Writes the persons of REGISTER that the window would list for the given beginnings of first name, surname, country and city, in its order and with its column titles, to OUT: CSV (UTF-8, RFC 4180) or an Excel workbook (.xlsx). OUT appears whole or not at all; an existing one is left as it is, unless --force is given. A register on a server is named by its URI (postgresql://user@server/database).
Exit status: 0 written, 1 nothing was written, 2 wrong use.</translation>
    </message>
    <message>
        <source>početak imena</source>
        <translation>the beginning of the first name</translation>
    </message>
    <message>
        <source>početak prezimena</source>
        <translation>the beginning of the surname</translation>
    </message>
    <message>
        <source>početak naziva države</source>
        <translation>the beginning of the country&apos;s name</translation>
    </message>
    <message>
        <source>početak naziva grada</source>
        <translation>the beginning of the city&apos;s name</translation>
    </message>
    <message>
        <source>zameni postojeći IZLAZ</source>
        <translation>replace an existing OUT</translation>
    </message>
    <message>
        <source>REGISTAR</source>
        <translation>REGISTER</translation>
    </message>
    <message>
        <source>registar (datoteka ili URI)</source>
        <translation>the register (a file or a URI)</translation>
    </message>
    <message>
        <source>IZLAZ</source>
        <translation>OUT</translation>
    </message>
    <message>
        <source>datoteka koja se piše: .csv ili .xlsx</source>
        <translation>the file to write: .csv or .xlsx</translation>
    </message>
    <message>
        <source>„%1” već postoji; ostaje kakav je (--force ga zamenjuje).</source>
        <translation>“%1” already exists; it is left as it is (--force replaces it).</translation>
    </message>
    <message>
        <source>Zapisano je %1 osoba u %2.
</source>
        <translation>%1 persons were written to %2.
</translation>
    </message>
</context>
<context>
    <name>History</name>
    <message>
        <source>Država</source>
        <translation>Country</translation>
    </message>
    <message>
        <source>Grad</source>
        <translation>City</translation>
    </message>
    <message>
        <source>Ime</source>
        <translation>First name</translation>
    </message>
    <message>
        <source>Prezime</source>
        <translation>Surname</translation>
    </message>
    <message>
        <source>Ova osoba je u međuvremenu obrisana (drugi korisnik ili program), pa ništa nije vraćeno. Ako treba, vratite je iz „Obrisane osobe…”.</source>
        <translation>This person has been deleted meanwhile (by another user or program), so nothing was taken back. If need be, bring them back from “Deleted persons…”.</translation>
    </message>
    <message>
        <source>Osobu je u međuvremenu izmenio neko drugi.</source>
        <translation>Someone else has changed this person meanwhile.</translation>
    </message>
    <message>
        <source>Ovaj radni sto sme samo da čita osobe, pa ne može da ih vraća. Zatražite od vlasnika registra pravo da menja osobe.</source>
        <translation>This desk may only read the persons, so it cannot take them back. Ask the register&apos;s owner for the right to change persons.</translation>
    </message>
    <message>
        <source>Osoba broj %1 je već u registru (%2 %3), pa ništa nije vraćeno.</source>
        <translation>Person number %1 is in the register already (%2 %3), so nothing was taken back.</translation>
    </message>
    <message>
        <source>broj %1</source>
        <translation>number %1</translation>
    </message>
    <message>
        <source>Osoba %1 %2 ne može da se vrati: grada %3 više nema u registru. Dodajte ga (dugme „...” pored grada), pa je vratite.</source>
        <translation>%1 %2 cannot be brought back: the city %3 is no longer in the register. Add it (the “...” button beside the city), then bring them back.</translation>
    </message>
    <message>
        <source>broj osobe</source>
        <translation>person&apos;s number</translation>
    </message>
</context>
<context>
    <name>ImportJet</name>
    <message>
        <source>%1 je prazno</source>
        <translation>%1 is empty</translation>
    </message>
    <message>
        <source>%1 ima %2 znakova, a staje najviše %3</source>
        <translation>%1 is %2 characters long; at most %3 fit</translation>
    </message>
    <message>
        <source>„%1” nema tabelu %2: to nije registar osoba.</source>
        <translation>“%1” has no table %2: it is not a register of persons.</translation>
    </message>
    <message>
        <source>tabela %1 nema kolonu %2.</source>
        <translation>table %1 has no column %2.</translation>
    </message>
    <message>
        <source>kolona %1 tabele %2 drži vrednosti tipa %3, a ne cele brojeve.</source>
        <translation>column %1 of table %2 holds %3 values, not whole numbers.</translation>
    </message>
    <message>
        <source>kolona %1 tabele %2 drži vrednosti tipa %3, a ne tekst.</source>
        <translation>column %1 of table %2 holds %3 values, not text.</translation>
    </message>
    <message>
        <source>drugi red ima isti ključ</source>
        <translation>another row has the same key</translation>
    </message>
    <message>
        <source>nov registar krši upućivanje tabele %1</source>
        <translation>the new register breaks a reference of table %1</translation>
    </message>
    <message>
        <source>njegove države ID_DRZAVA=%1 nema u DRZAVE</source>
        <translation>its country ID_DRZAVA=%1 is not in DRZAVE</translation>
    </message>
    <message>
        <source>njegovog grada ID_DRZAVA=%1, ID_GRAD=%2 nema u GRADOVI</source>
        <translation>its city ID_DRZAVA=%1, ID_GRAD=%2 is not in GRADOVI</translation>
    </message>
    <message>
        <source>stari registar ne može da se sačuva kao „%1”: %2. Ništa nije promenjeno.</source>
        <translation>cannot keep the old register as “%1”: %2. Nothing was changed.</translation>
    </message>
    <message>
        <source>stara datoteka se čuva pod drugim imenom samo kad nov registar zauzme njeno mesto.</source>
        <translation>the old file is kept under another name only when the new register takes its place.</translation>
    </message>
    <message>
        <source>nov registar ne može da se upiše preko stare datoteke; navedite drugu.</source>
        <translation>the new register cannot be written over the old file; name another file.</translation>
    </message>
    <message>
        <source>nov registar ne može da se upiše: %1</source>
        <translation>cannot write the new register: %1</translation>
    </message>
    <message>
        <source>nema dovoljno memorije za čitanje „%1”: datoteka je možda oštećena.</source>
        <translation>out of memory while reading “%1”: the file may be damaged.</translation>
    </message>
    <message>
        <source>tekstualna vrednost se završava polovinom znaka</source>
        <translation>a text value ends in half a character</translation>
    </message>
    <message>
        <source>red %1 tabele %2 ne može da se pročita</source>
        <translation>row %1 of table %2 cannot be read</translation>
    </message>
    <message>
        <source>red tabele %1 nema svih svojih %2 kolona</source>
        <translation>a row of table %1 does not hold its %2 columns</translation>
    </message>
    <message>
        <source>red %1 tabele %2 je oštećen (kolona %3)</source>
        <translation>row %1 of table %2 is damaged (column %3)</translation>
    </message>
    <message>
        <source>tekstualna vrednost tabele %1 nije tekst u kodnoj strani datoteke (%2); pravu navedite uz --codepage</source>
        <translation>a text value of table %1 is not text in the file&apos;s code page (%2); name the right one with --codepage</translation>
    </message>
    <message>
        <source>„%1” ne može da se pročita: %2.</source>
        <translation>“%1” cannot be read: %2.</translation>
    </message>
    <message>
        <source>„%1” je fascikla, a ne datoteka baze.</source>
        <translation>“%1” is a folder, not a database file.</translation>
    </message>
    <message>
        <source>„%1” je prazna: u njoj nema registra.</source>
        <translation>“%1” is empty: it holds no register.</translation>
    </message>
    <message>
        <source>„%1” je već registar u formatu ovog programa: nema šta da se uvozi.</source>
        <translation>“%1” is already a register in this program&apos;s own format: there is nothing to import.</translation>
    </message>
    <message>
        <source>„%1” nije Access (Jet ili ACE) baza.</source>
        <translation>“%1” is not an Access (Jet or ACE) database file.</translation>
    </message>
    <message>
        <source>„%1” je oštećena: skraćena je (%2 bajtova, a ne ceo broj strana od po %3 bajtova).</source>
        <translation>“%1” is damaged: it is cut short (%2 bytes, not a whole number of %3-byte pages).</translation>
    </message>
    <message>
        <source>„%1” ne može da se otvori kao Access baza: možda je oštećena.</source>
        <translation>“%1” cannot be opened as an Access database: it may be damaged.</translation>
    </message>
    <message>
        <source>spisak tabela u „%1” ne može da se pročita: datoteka je možda oštećena.</source>
        <translation>the list of tables in “%1” cannot be read: the file may be damaged.</translation>
    </message>
    <message>
        <source>kodna strana %1 nije poznata na ovom sistemu.</source>
        <translation>code page %1 is not known on this system.</translation>
    </message>
    <message>
        <source>tabela %1 ne može da se pročita: datoteka je možda oštećena.</source>
        <translation>table %1 cannot be read: the file may be damaged.</translation>
    </message>
    <message>
        <source><byte value="xd"/>Čitam redove [%1] %2%</source>
        <translation><byte value="xd"/>Reading rows [%1] %2%</translation>
    </message>
    <message>
        <source>Pročitano je „%1” (%2</source>
        <translation>Read “%1” (%2</translation>
    </message>
    <message>
        <source>, tekst u kodnoj strani %1</source>
        <translation>, text in code page %1</translation>
    </message>
    <message>
        <source>  %1 pročitano redova: %2</source>
        <translation>  %1 %2 rows read</translation>
    </message>
    <message>
        <source>, upisano: %1</source>
        <translation>, %1 written</translation>
    </message>
    <message>
        <source>, izdvojeno u %1_SET_ASIDE: %2</source>
        <translation>, %2 set aside in %1_SET_ASIDE</translation>
    </message>
    <message>
        <source>, izostavljeno: %1</source>
        <translation>, %1 left out</translation>
    </message>
    <message>
        <source>Ispravite ih u staroj datoteci, ili ponovo pokrenite uvoz sa --set-aside (čuvaju se u tabelama &lt;TABELA&gt;_SET_ASIDE) ili --skip (izostavljaju se).
</source>
        <translation>Mend them in the old file, or run again with --set-aside (they are kept in tables &lt;TABLE&gt;_SET_ASIDE) or --skip (they are left out).
</translation>
    </message>
    <message>
        <source>izdvojeno</source>
        <translation>set aside</translation>
    </message>
    <message>
        <source>izostavljeno</source>
        <translation>left out</translation>
    </message>
    <message>
        <source>Stari registar je sačuvan nepromenjen kao %1.
</source>
        <translation>The old register is kept, unchanged, as %1.
</translation>
    </message>
    <message>
        <source>Napisan je %1.
</source>
        <translation>Wrote %1.
</translation>
    </message>
    <message>
        <source>Prenosi osobe, države i gradove Access registra STARI u nov registar NOVI (ako se ne kaže: proba.mdb u fascikli STAROG). STARI se samo čita. Redove koje registar odbija navodi, i tada ne piše ništa, osim uz --set-aside ili --skip.
Izlazni kod: 0 sve je preneto, 1 ništa nije napisano, 2 pogrešna upotreba, 3 napisano, ali su neki redovi izostavljeni zbog --skip.</source>
        <translation>Brings the persons, countries and cities of the Access register OLD into a new register NEW (by default proba.mdb in the folder of OLD). OLD is only read. Rows the register refuses are listed, and then nothing is written, unless --set-aside or --skip is given.
Exit status: 0 all was brought over, 1 nothing was written, 2 wrong use, 3 written, but some rows were left out by --skip.</translation>
    </message>
    <message>
        <source>nov registar dobija ime STAROG; STARI se čuva nepromenjen pod svojim imenom sa „.access” pre nastavka</source>
        <translation>the new register takes the name of OLD; OLD is kept unchanged under its name with “.access” before the extension</translation>
    </message>
    <message>
        <source>zameni postojeći NOVI</source>
        <translation>replace an existing NEW</translation>
    </message>
    <message>
        <source>redove koje registar odbija prepiši u tabele &lt;TABELA&gt;_SET_ASIDE</source>
        <translation>copy the rows the register refuses into tables &lt;TABLE&gt;_SET_ASIDE</translation>
    </message>
    <message>
        <source>redove koje registar odbija izostavi</source>
        <translation>leave out the rows the register refuses</translation>
    </message>
    <message>
        <source>tekst Jet 3 datoteke čitaj u Windows kodnoj strani N (ako se ne kaže: onoj koju datoteka beleži)</source>
        <translation>read the text of a Jet 3 file in Windows code page N (by default the one the file records)</translation>
    </message>
    <message>
        <source>Access registar (.mdb, .accdb)</source>
        <translation>the Access register (.mdb, .accdb)</translation>
    </message>
    <message>
        <source>nov registar</source>
        <translation>the new register</translation>
    </message>
    <message>
        <source>uz --codepage ide broj Windows kodne strane, na primer 1250.</source>
        <translation>--codepage takes the number of a Windows code page, 1250 for example.</translation>
    </message>
    <message>
        <source>uz --replace nov registar dobija ime starog: ne navodi se NOVI.</source>
        <translation>with --replace the new register takes the old one&apos;s name: give no NEW.</translation>
    </message>
    <message>
        <source>navedite ime novog registra, ili --replace da ga postavite na mesto starog (stara datoteka se čuva kao %1).</source>
        <translation>name the new register, or give --replace to put it in the old one&apos;s place (the old file is kept as %1).</translation>
    </message>
    <message>
        <source>STARI</source>
        <translation>OLD</translation>
    </message>
    <message>
        <source>NOVI</source>
        <translation>NEW</translation>
    </message>
    <message>
        <source>
%3: čitanje „%1” nije uspelo (%2): datoteka je oštećena tako da je čitač Access baza ne može preći. Popravite je u Access-u (Compact and Repair) i ponovo pokrenite uvoz.
Ništa nije napisano.
</source>
        <translation>
%3: reading “%1” failed (%2): the file is damaged in a way the Access reader cannot get past. Repair it with Access (Compact and Repair) and run the import again.
Nothing was written.
</translation>
    </message>
    <message>
        <source>%2: %1
Ništa nije napisano.
</source>
        <translation>%2: %1
Nothing was written.
</translation>
    </message>
    <message>
        <source>%2: %1 redova ne može u registar takvih kakvi su, pa ništa nije napisano:
</source>
        <translation>%2: %1 rows cannot go into the register as they are, so nothing was written:
</translation>
    </message>
</context>
<context>
    <name>ImportList</name>
    <message>
        <source>Kolone koje se ne čitaju: %1.
</source>
        <translation>Columns not read: %1.
</translation>
    </message>
    <message>
        <source>Upisuje osobe iz LISTE (CSV ili Excel radna sveska .xlsx, prvi red naslovi kolona: Ime, Prezime, Država, Grad, ili naslovi izvezene liste) u REGISTAR, sve u jednoj transakciji. Države i gradovi se nalaze po imenu (slova se porede kao u pretrazi) ili po broju. Prvo kaže šta bi upisao: nove osobe, one koje već postoje, mesta kojih nema i redove koji se ne upisuju.
Izlazni kod: 0 upisano (ili samo provereno), 1 ništa nije upisano, 2 pogrešna upotreba.</source>
        <translation>Writes the persons of LIST (CSV or an Excel workbook .xlsx, the first row the columns&apos; titles: First name, Surname, Country, City, or an exported list&apos;s titles) into REGISTER, all in one transaction. Countries and cities are found by name (letters compared as in a search) or by number. It first says what it would write: the new persons, those already there, the places that are not there and the rows not written.
Exit status: 0 written (or only checked), 1 nothing was written, 2 wrong use.</translation>
    </message>
    <message>
        <source>samo kaže šta bi upisao</source>
        <translation>only say what would be written</translation>
    </message>
    <message>
        <source>dodaje države i gradove kojih nema u registru</source>
        <translation>add the countries and cities the register does not have</translation>
    </message>
    <message>
        <source>upisuje i osobe koje već postoje</source>
        <translation>write the persons already there too</translation>
    </message>
    <message>
        <source>pismo CSV datoteke: utf-8 ili windows-1250 (ako se ne kaže: prepoznaje se)</source>
        <translation>the CSV file&apos;s encoding: utf-8 or windows-1250 (by default it is recognised)</translation>
    </message>
    <message>
        <source>REGISTAR</source>
        <translation>REGISTER</translation>
    </message>
    <message>
        <source>registar (datoteka ili URI)</source>
        <translation>the register (a file or a URI)</translation>
    </message>
    <message>
        <source>LISTA</source>
        <translation>LIST</translation>
    </message>
    <message>
        <source>datoteka koja se čita: .csv ili .xlsx</source>
        <translation>the file to read: .csv or .xlsx</translation>
    </message>
    <message>
        <source>--encoding je utf-8 ili windows-1250, ne „%1”.</source>
        <translation>--encoding is utf-8 or windows-1250, not “%1”.</translation>
    </message>
    <message>
        <source>Ništa nije upisano (--check).
</source>
        <translation>Nothing was written (--check).
</translation>
    </message>
    <message>
        <source>upisano %1 od %2
</source>
        <translation>%1 of %2 written
</translation>
    </message>
    <message>
        <source>--add-places ga dodaje</source>
        <translation>--add-places adds it</translation>
    </message>
    <message>
        <source>--add-existing ih dodaje</source>
        <translation>--add-existing adds them</translation>
    </message>
</context>
<context>
    <name>ListExport</name>
    <message>
        <source>Lista nije izvezena u „%1”: %2. Ništa nije zapisano.</source>
        <translation>The list was not exported to “%1”: %2. Nothing was written.</translation>
    </message>
    <message>
        <source>lista ima više redova nego što radna sveska prima (1.048.576); izvezite je u CSV</source>
        <translation>the list has more rows than a workbook holds (1,048,576); export it to CSV</translation>
    </message>
    <message>
        <source>Osobe</source>
        <translation>Persons</translation>
    </message>
    <message>
        <source>lista je prevelika za radnu svesku (više od 4 GB teksta); izvezite je u CSV</source>
        <translation>the list is too large for a workbook (more than 4 GB of text); export it to CSV</translation>
    </message>
    <message>
        <source>zapisivanje nije uspelo (%1); disk je možda pun: oslobodite mesta na njemu ili izaberite drugo mesto</source>
        <translation>writing failed (%1); the disk may be full: free some space on it or choose another place</translation>
    </message>
</context>
<context>
    <name>ListFile</name>
    <message>
        <source>„%1” nije lista osoba: %2.</source>
        <translation>“%1” is not a list of persons: %2.</translation>
    </message>
    <message>
        <source>navodnik otvoren u redu %1 nije zatvoren do kraja datoteke</source>
        <translation>a quote opened in line %1 is not closed before the end of the file</translation>
    </message>
    <message>
        <source>radna sveska je oštećena</source>
        <translation>the workbook is damaged</translation>
    </message>
    <message>
        <source>list radne sveske je veći od 1 GB</source>
        <translation>the workbook&apos;s sheet is larger than 1 GB</translation>
    </message>
    <message>
        <source>list radne sveske je oštećen (%1)</source>
        <translation>the workbook&apos;s sheet is damaged (%1)</translation>
    </message>
    <message>
        <source>to nije Excel radna sveska (.xlsx)</source>
        <translation>it is not an Excel workbook (.xlsx)</translation>
    </message>
    <message>
        <source>radna sveska nema nijedan list</source>
        <translation>the workbook has no sheet</translation>
    </message>
    <message>
        <source>datoteka nije tekst (CSV) nego binarna</source>
        <translation>the file is not text (CSV) but binary</translation>
    </message>
    <message>
        <source>Nije jasno kojim je pismom zapisana „%1”: nije UTF-8, a ni Windows-1250 po izgledu. Recite kojim je zapisana.</source>
        <translation>It is not clear which encoding “%1” is written in: it is not UTF-8, nor Windows-1250 by the look of it. Say which it is.</translation>
    </message>
    <message>
        <source>„%1” ne može da se pročita: %2.</source>
        <translation>“%1” cannot be read: %2.</translation>
    </message>
    <message>
        <source>to je radna sveska ili druga arhiva; radna sveska se uvozi pod imenom koje se završava na .xlsx</source>
        <translation>it is a workbook or another archive; a workbook is imported under a name ending in .xlsx</translation>
    </message>
    <message>
        <source>„%1” nije zapisana u UTF-8. Recite kojim je pismom zapisana (na primer Windows-1250).</source>
        <translation>“%1” is not written in UTF-8. Say which encoding it is written in (Windows-1250, for example).</translation>
    </message>
</context>
<context>
    <name>ListPrint</name>
    <message>
        <source>Lista ne može da se štampa: štampač ili datoteka nije dostupna. Proverite štampač i pokušajte ponovo.</source>
        <translation>The list cannot be printed: the printer or the file is not available. Check the printer and try again.</translation>
    </message>
</context>
<context>
    <name>MakeRegister</name>
    <message>
        <source><byte value="xd"/>Upisujem osobe: %1%</source>
        <translation><byte value="xd"/>Writing persons: %1%</translation>
    </message>
    <message>
        <source>primer krši spoljni ključ registra</source>
        <translation>the sample breaks a foreign key</translation>
    </message>
    <message>
        <source>Napisan je %1: %2 država, %3 osoba.
</source>
        <translation>Wrote %1: %2 countries, %3 persons.
</translation>
    </message>
    <message>
        <source>koliko osoba (od 0 do 100000000; 1000 ako se ne kaže)</source>
        <translation>how many persons (0 to 100000000; 1000 by default)</translation>
    </message>
    <message>
        <source>zameni postojeću DATOTEKU</source>
        <translation>replace an existing FILE</translation>
    </message>
    <message>
        <source>nov registar</source>
        <translation>the new register</translation>
    </message>
    <message>
        <source>uz --persons ide broj od 0 do 100000000.</source>
        <translation>--persons takes a number from 0 to 100000000.</translation>
    </message>
    <message>
        <source>DATOTEKA</source>
        <translation>FILE</translation>
    </message>
    <message>
        <source>Piše nov registar s primerom od N osoba u DATOTEKU: države i gradove regiona i nekoliko drugih, i osobe s imenima regiona. Isti N daje uvek isti registar. Postojeća DATOTEKA ostaje kakva je, osim uz --force. Umesto DATOTEKE može se navesti prazna baza na PostgreSQL serveru, njenim URI-jem (postgresql://korisnik@server/baza).</source>
        <translation>Writes a new sample register of N persons to FILE: the countries and cities of the region and a few others, and persons with the region&apos;s names. The same N always gives the same register. An existing FILE is left as it is, unless --force is given. Instead of a FILE, an empty database on a PostgreSQL server may be named by its URI (postgresql://user@server/database).</translation>
    </message>
    <message>
        <source>Registar %1 sada beleži istoriju izmena.
</source>
        <translation>The register %1 now keeps a history of its changes.
</translation>
    </message>
    <message>
        <source>ne piše nov registar, nego postojećem (napravljenom pre istorije izmena) daje istoriju izmena, a na serveru i pečat izmena kakav imaju novi registri; ništa drugo se ne menja</source>
        <translation>do not write a new register, but give an existing one (made before the history of changes) the history of changes, and on a server also the change stamp new registers have; nothing else changes</translation>
    </message>
</context>
<context>
    <name>PersonalRegister</name>
    <message>
        <source>fascikla ne može da se napravi</source>
        <translation>the folder cannot be made</translation>
    </message>
    <message>
        <source>Vaš registar ne može da se napravi u „%1”: %2.
Proverite da li je disk pun i da li smete da pišete u tu fasciklu, pa ponovo pokrenite Kolvaru.</source>
        <translation>Your register cannot be made in “%1”: %2.
Check that the disk is not full and that you may write in that folder, then start Kolvara again.</translation>
    </message>
    <message>
        <source>Dobro došli u Kolvaru.

Vaš registar osoba još ne postoji. Kolvara će ga čuvati u „%1”.

Registar s primerom ima hiljadu izmišljenih osoba za probu; prazan registar ima samo države i gradove.

Koji registar da napravim?</source>
        <translation>Welcome to Kolvara.

Your register of persons does not exist yet. Kolvara will keep it in “%1”.

The sample register has a thousand made-up persons to try things on; the empty register has only the countries and cities.

Which register shall I make?</translation>
    </message>
    <message>
        <source>Registar s &amp;primerom</source>
        <translation>&amp;Sample register</translation>
    </message>
    <message>
        <source>P&amp;razan registar</source>
        <translation>&amp;Empty register</translation>
    </message>
    <message>
        <source>&amp;Ne sada</source>
        <translation>&amp;Not now</translation>
    </message>
</context>
<context>
    <name>PersonsImport</name>
    <message>
        <source>Lista je prazna: nema ni red naslova.</source>
        <translation>The list is empty: it has not even a row of titles.</translation>
    </message>
    <message>
        <source>Nijedna kolona liste nije naslovljena kao ime (Ime, First name); naslovi u njoj: %1. Recite koja kolona je šta, ili dajte koloni imena naslov „Ime”.</source>
        <translation>No column of the list is titled as a first name (Ime, First name); its titles: %1. Say which column is which, or title the column of first names “First name”.</translation>
    </message>
    <message>
        <source>nijedan</source>
        <translation>none</translation>
    </message>
    <message>
        <source>ime je prazno</source>
        <translation>the first name is empty</translation>
    </message>
    <message>
        <source>ime, prezime ili naziv mesta je duži od 255 znakova</source>
        <translation>a first name, surname or place name is longer than 255 characters</translation>
    </message>
    <message>
        <source>grad nije naveden</source>
        <translation>no city is given</translation>
    </message>
    <message>
        <source>u registru je više država po imenu %1</source>
        <translation>the register has several countries named %1</translation>
    </message>
    <message>
        <source>države %1 nema u registru</source>
        <translation>the country %1 is not in the register</translation>
    </message>
    <message>
        <source>države broj %1 nema u registru</source>
        <translation>there is no country number %1 in the register</translation>
    </message>
    <message>
        <source>grad %1 je u više država; navedite državu</source>
        <translation>the city %1 is in several countries; give the country</translation>
    </message>
    <message>
        <source>grada %1 nema u registru, a država nije navedena</source>
        <translation>the city %1 is not in the register, and no country is given</translation>
    </message>
    <message>
        <source>grada %1 (%2) nema u registru</source>
        <translation>the city %1 (%2) is not in the register</translation>
    </message>
    <message>
        <source>grada broj %1 nema u toj državi</source>
        <translation>there is no city number %1 in that country</translation>
    </message>
    <message>
        <source>Osobe nisu uvezene: ovde ne smete da dodajete osobe u registar. Ništa nije upisano.</source>
        <translation>The persons were not imported: you may not add persons to the register here. Nothing was written.</translation>
    </message>
    <message>
        <source>Osobe nisu uvezene: ovde ne smete da dodajete države i gradove, a lista ih navodi %1 koji nisu u registru. Ništa nije upisano.</source>
        <translation>The persons were not imported: you may not add countries and cities here, and the list names %1 that are not in the register. Nothing was written.</translation>
    </message>
    <message>
        <source>država</source>
        <translation>country</translation>
    </message>
    <message>
        <source>grad</source>
        <translation>city</translation>
    </message>
    <message>
        <source>ime</source>
        <translation>first name</translation>
    </message>
    <message>
        <source>prezime</source>
        <translation>surname</translation>
    </message>
    <message>
        <source>„%1”</source>
        <translation>“%1”</translation>
    </message>
    <message>
        <source> i još %1</source>
        <translation> and %1 more</translation>
    </message>
    <message>
        <source>Redova osoba u listi: %1.</source>
        <translation>Rows of persons in the list: %1.</translation>
    </message>
    <message>
        <source>Upisane nove osobe: %1.</source>
        <translation>New persons written: %1.</translation>
    </message>
    <message>
        <source>Nove osobe: %1.</source>
        <translation>New persons: %1.</translation>
    </message>
    <message>
        <source>Kao osobe koje već postoje (isto ime, prezime i grad): %1, u redovima %2; </source>
        <translation>Like persons already there (the same first name, surname and city): %1, in rows %2; </translation>
    </message>
    <message>
        <source>dodaju se i one.</source>
        <translation>they are added too.</translation>
    </message>
    <message>
        <source>preskaču se</source>
        <translation>they are skipped</translation>
    </message>
    <message>
        <source>grad „%1” (%2)</source>
        <translation>the city “%1” (%2)</translation>
    </message>
    <message>
        <source>država „%1”</source>
        <translation>the country “%1”</translation>
    </message>
    <message>
        <source>Nije u registru: %1, u redovima %2; </source>
        <translation>Not in the register: %1, in rows %2; </translation>
    </message>
    <message>
        <source>dodaje se.</source>
        <translation>it is added.</translation>
    </message>
    <message>
        <source>ti redovi se ostavljaju po strani</source>
        <translation>those rows are set aside</translation>
    </message>
    <message>
        <source>Redovi koji se ne upisuju: %1.</source>
        <translation>Rows not written: %1.</translation>
    </message>
    <message>
        <source>  red %1: %2</source>
        <translation>  row %1: %2</translation>
    </message>
    <message>
        <source>  i još %1 redova</source>
        <translation>  and %1 more rows</translation>
    </message>
</context>
<context>
    <name>Places</name>
    <message>
        <source>Ova država već ima grad %1. Ako je to isto mesto, spojite ga s njim.</source>
        <translation>This country already has the city %1. If it is the same place, merge the two.</translation>
    </message>
    <message>
        <source>Registar već ima državu %1. Ako je to ista država, spojite je s njom.</source>
        <translation>The register already has the country %1. If it is the same country, merge the two.</translation>
    </message>
    <message>
        <source>Naziv ne može biti prazan: upišite ga.</source>
        <translation>The name cannot be empty: type it in.</translation>
    </message>
    <message>
        <source>Naziv je duži od 255 znakova: skratite ga.</source>
        <translation>The name is longer than 255 characters: shorten it.</translation>
    </message>
    <message>
        <source>Grad nije dodat: njegova država je u međuvremenu uklonjena iz registra.</source>
        <translation>The city was not added: its country has meanwhile been removed from the register.</translation>
    </message>
    <message>
        <source>naziv</source>
        <translation>name</translation>
    </message>
    <message>
        <source>država</source>
        <translation>country</translation>
    </message>
    <message>
        <source>broj grada</source>
        <translation>city number</translation>
    </message>
    <message>
        <source>broj države</source>
        <translation>country number</translation>
    </message>
    <message>
        <source>U gradu %1 žive %2 osobe; premestite ih ili spojite grad s drugim.</source>
        <translation>%2 persons live in %1; move them, or merge the city with another.</translation>
    </message>
    <message>
        <source>U gradu %1 živi %2 osoba; premestite ih ili spojite grad s drugim.</source>
        <translation>%2 persons live in %1; move them, or merge the city with another.</translation>
    </message>
    <message>
        <source>U državi %1 žive %2 osobe; premestite ih ili spojite državu s drugom.</source>
        <translation>%2 persons live in %1; move them, or merge the country with another.</translation>
    </message>
    <message>
        <source>U državi %1 živi %2 osoba; premestite ih ili spojite državu s drugom.</source>
        <translation>%2 persons live in %1; move them, or merge the country with another.</translation>
    </message>
    <message>
        <source>Spojiti se mogu samo dva različita mesta istog spiska.</source>
        <translation>Only two different places of the same list can be merged.</translation>
    </message>
    <message>
        <source>grad</source>
        <translation>city</translation>
    </message>
    <message>
        <source>Ništa nije promenjeno: mesta %1 više nema u registru (uklonjeno je na drugom radnom stolu). Spisak sada pokazuje registar kakav je.</source>
        <translation>Nothing was changed: %1 is no longer in the register (it was removed at another desk). The list now shows the register as it is.</translation>
    </message>
    <message>
        <source>Ništa nije promenjeno: mesto %1 je u međuvremenu preimenovano u %2 na drugom radnom stolu.</source>
        <translation>Nothing was changed: %1 has meanwhile been renamed %2 at another desk.</translation>
    </message>
    <message>
        <source>U gradu %1 živi jedna osoba; premestite je ili spojite grad s drugim.</source>
        <translation>One person lives in %1; move them, or merge the city with another.</translation>
    </message>
    <message>
        <source>U državi %1 živi jedna osoba; premestite je ili spojite državu s drugom.</source>
        <translation>One person lives in %1; move them, or merge the country with another.</translation>
    </message>
    <message>
        <source>Registar nije dao broj novom mestu; ništa nije upisano.</source>
        <translation>The register gave the new place no number; nothing was written.</translation>
    </message>
</context>
<context>
    <name>Register</name>
    <message>
        <source>Registar nije otvoren.</source>
        <translation>The register is not open.</translation>
    </message>
    <message>
        <source>Opis veze s registrom ne navodi dobavljača (Provider).</source>
        <translation>The connection string names no provider.</translation>
    </message>
    <message>
        <source>Dobavljač „%1” nije dostupan: ovaj program otvara registar samo preko „%2”.</source>
        <translation>Provider “%1” is not available: this program opens its register through “%2” only.</translation>
    </message>
    <message>
        <source>Opis veze s registrom ne navodi datoteku registra (Data Source).</source>
        <translation>The connection string names no register file (Data Source).</translation>
    </message>
    <message>
        <source>Veza već ima otvorenu transakciju.</source>
        <translation>The connection has a transaction open already.</translation>
    </message>
    <message>
        <source>Veza nema otvorenu transakciju.</source>
        <translation>The connection has no transaction open.</translation>
    </message>
    <message>
        <source>Nije sačuvano: %1 %2 ne postoji u registru.</source>
        <translation>Not saved: %1 %2 is not in the register.</translation>
    </message>
    <message>
        <source>Nije sačuvano: %1 (%2) ne postoji u registru.</source>
        <translation>Not saved: the %1 (%2) is not in the register.</translation>
    </message>
    <message>
        <source>Nije sačuvano: nedostaje %1.</source>
        <translation>Not saved: the %1 is missing.</translation>
    </message>
    <message>
        <source>%1: „%2” nije ceo broj.</source>
        <translation>%1: “%2” is not a whole number.</translation>
    </message>
    <message>
        <source>%1: tekst je duži od %2 znakova.</source>
        <translation>%1: the text is longer than %2 characters.</translation>
    </message>
    <message>
        <source>Previše teksta za memoriju: suzite pretragu.</source>
        <translation>Too much text to hold in memory: narrow the search.</translation>
    </message>
    <message>
        <source>Registar je zaključao drugi program koji upravo piše u njega. Pokušajte ponovo za trenutak.</source>
        <translation>The register is locked by another program that is writing to it. Try again in a moment.</translation>
    </message>
    <message>
        <source>Tekst pretrage je predugačak: sme imati najviše %1 bajtova (UTF-8). Skratite ga.</source>
        <translation>The search text is too long: it may hold at most %1 bytes (UTF-8). Shorten it.</translation>
    </message>
    <message>
        <source>Spisak se ne može menjati: registar je samo za čitanje.</source>
        <translation>The list cannot be changed: the register can only be read.</translation>
    </message>
    <message>
        <source>Nema zapisa za izmenu: spisak je prazan.</source>
        <translation>There is nothing to edit: the list is empty.</translation>
    </message>
    <message>
        <source>Nije sačuvano: ovog zapisa više nema u registru (možda ga je obrisao drugi program).</source>
        <translation>Not saved: this record is no longer in the register (another program may have deleted it).</translation>
    </message>
    <message>
        <source>Nije sačuvano: u registru je više zapisa s brojem %1, a sme biti samo jedan.</source>
        <translation>Not saved: the register holds more than one record numbered %1, and may hold only one.</translation>
    </message>
    <message>
        <source>Ovaj zapis nema broj (%1), pa ne može da se menja ni da se briše.</source>
        <translation>This record has no number (%1), so it cannot be changed or deleted.</translation>
    </message>
    <message>
        <source>Nema zapisa za brisanje: spisak je prazan.</source>
        <translation>There is nothing to delete: the list is empty.</translation>
    </message>
    <message>
        <source>Nije obrisano: spisak je u međuvremenu ponovo pročitan. Ništa drugo nije obrisano.</source>
        <translation>Not deleted: the list was read again meanwhile. Nothing else was deleted.</translation>
    </message>
    <message>
        <source>Nije obrisano: ovog zapisa više nema u registru (možda ga je obrisao drugi program).</source>
        <translation>Not deleted: this record is no longer in the register (another program may have deleted it).</translation>
    </message>
    <message>
        <source>Nije obrisano: u registru je više zapisa s brojem %1, a sme biti samo jedan.</source>
        <translation>Not deleted: the register holds more than one record numbered %1, and may hold only one.</translation>
    </message>
    <message>
        <source>Nije sačuvano: drugi program upravo piše u registar. Pokušajte ponovo za trenutak.</source>
        <translation>Not saved: another program is writing to the register. Try again in a moment.</translation>
    </message>
    <message>
        <source>Nije sačuvano: registar se sada može samo čitati (%1).</source>
        <translation>Not saved: the register can only be read now (%1).</translation>
    </message>
    <message>
        <source>Nije sačuvano: disk je pun. Oslobodite prostor i sačuvajte ponovo.</source>
        <translation>Not saved: the disk is full. Make room and save again.</translation>
    </message>
    <message>
        <source>Nema dovoljno memorije za čitanje spiska.</source>
        <translation>There is not enough memory to read the list.</translation>
    </message>
    <message>
        <source>Registar se ne može pročitati: %1 „%2” nije ceo broj između -2147483648 i 2147483647.</source>
        <translation>The register cannot be read: the %1 “%2” is not a whole number between -2147483648 and 2147483647.</translation>
    </message>
    <message>
        <source>Datoteka registra %1 ne postoji.</source>
        <translation>The register file %1 does not exist.</translation>
    </message>
    <message>
        <source>%1 je fascikla, a ne datoteka registra.</source>
        <translation>%1 is a folder, not a register file.</translation>
    </message>
    <message>
        <source>Datoteka registra %1 ne može da se pročita: %2.</source>
        <translation>The register file %1 cannot be read: %2.</translation>
    </message>
    <message>
        <source>Datoteka registra %1 je prazna: u njoj nema registra.</source>
        <translation>The register file %1 is empty: it holds no register.</translation>
    </message>
    <message>
        <source>%1 je Microsoft Access baza (format %2), registar starijeg programa. Prenesite ga jednom naredbom za uvoz iz fascikle ovog programa:
    kolvara-import-jet --replace &quot;%3&quot;
Ona na njegovom mestu piše nov registar, a staru datoteku čuva nepromenjenu pored njega. Zatim ponovo pokrenite ovaj program.</source>
        <translation>%1 is a Microsoft Access database (%2 format), a register kept by an older program. Bring it in once with the import command in this program&apos;s folder:
    kolvara-import-jet --replace &quot;%3&quot;
It writes a new register in its place and keeps the old file, unchanged, beside it. Then start this program again.</translation>
    </message>
    <message>
        <source>%1 nije datoteka registra koju ovaj program može da otvori (nije SQLite 3 baza).</source>
        <translation>%1 is not a register file that this program can open (it is not an SQLite 3 database).</translation>
    </message>
    <message>
        <source>Datoteka registra %1 je samo za čitanje. Dozvolite upis u nju (u svojstvima datoteke) i ponovo pokrenite program.</source>
        <translation>The register file %1 is read-only. Allow writing to it (in the file&apos;s properties) and start the program again.</translation>
    </message>
    <message>
        <source>U fasciklu %1, u kojoj je datoteka registra, ne može da se piše, a svako čuvanje tamo prvo upisuje dnevnik izmena. Dozvolite upis u fasciklu i ponovo pokrenite program.</source>
        <translation>The folder %1 of the register file cannot be written to, and every save first writes a journal there. Allow writing to the folder and start the program again.</translation>
    </message>
    <message>
        <source>Datoteka registra %1 ne može da se otvori</source>
        <translation>The register file %1 cannot be opened</translation>
    </message>
    <message>
        <source>Datoteka registra %1 može samo da se čita. Dozvolite upis u nju i u njenu fasciklu i ponovo pokrenite program.</source>
        <translation>The register file %1 can only be read, not written. Allow writing to it and to its folder, and start the program again.</translation>
    </message>
    <message>
        <source>Datoteka registra %1 ne može da se pročita</source>
        <translation>The register file %1 cannot be read</translation>
    </message>
    <message>
        <source>Registar je sačuvao „%1” kao %2, a to nije ceo broj.</source>
        <translation>The register stored “%1” as the %2, which is not a whole number.</translation>
    </message>
    <message>
        <source>Nije obrisano: drugi zapisi registra još upućuju na ovaj. Prvo njih izmenite ili obrišite.</source>
        <translation>Not deleted: other records of the register still refer to this one. Change or delete them first.</translation>
    </message>
    <message>
        <source>Nije sačuvano: zapis upućuje na nešto čega u registru nema.</source>
        <translation>Not saved: the record refers to something the register does not hold.</translation>
    </message>
    <message>
        <source>Nije sačuvano: vrednost ne ispunjava pravilo registra „%1”.</source>
        <translation>Not saved: a value breaks the register&apos;s rule “%1”.</translation>
    </message>
    <message>
        <source>Nije sačuvano: u registru već postoji zapis s tim brojem.</source>
        <translation>Not saved: the register already holds a record with that number.</translation>
    </message>
    <message>
        <source>Registar ne može da se pročita: u njemu nema kolone „%1” (%2).</source>
        <translation>The register cannot be read: it has no column “%1” (%2).</translation>
    </message>
    <message>
        <source>menjanje tabele</source>
        <translation>changing the table</translation>
    </message>
    <message>
        <source>Opis veze: „%1” nema „=” između ključne reči i vrednosti.</source>
        <translation>Connection string: “%1” has no “=” between keyword and value.</translation>
    </message>
    <message>
        <source>Opis veze: vrednost „%1” pod navodnicima nije zatvorena.</source>
        <translation>Connection string: the quoted value of “%1” is not closed.</translation>
    </message>
    <message>
        <source>menjanje veze s registrom</source>
        <translation>changing the connection to the register</translation>
    </message>
    <message>
        <source>%1 je otvoren, pa sada ne može: %2.</source>
        <translation>%1 is open, so this cannot be done now: %2.</translation>
    </message>
    <message>
        <source>%1 nije otvoren.</source>
        <translation>%1 is not open.</translation>
    </message>
    <message>
        <source>dodavanje polja</source>
        <translation>adding a field</translation>
    </message>
    <message>
        <source>%1 nema polje „%2”.</source>
        <translation>%1 has no field “%2”.</translation>
    </message>
    <message>
        <source>%1 se ne menja sada: polje „%2” menja se samo dok se zapis menja ili dodaje.</source>
        <translation>%1 is not being edited: the field “%2” can be changed only while a record is edited or added.</translation>
    </message>
    <message>
        <source>%1 se ne može menjati.</source>
        <translation>The %1 cannot be changed.</translation>
    </message>
    <message>
        <source>%1 nema vezu s registrom.</source>
        <translation>%1 has no connection to the register.</translation>
    </message>
    <message>
        <source>%1 se otvara samo naredbom koja čita, a ova bi menjala registar.</source>
        <translation>%1 can only be opened on a statement that reads; this one would change the register.</translation>
    </message>
    <message>
        <source>%1: traženje zapisa traži bar jedno polje.</source>
        <translation>%1: finding a record needs at least one field.</translation>
    </message>
    <message>
        <source>%1: traženje zapisa dobilo je %2 vrednosti za %3 polja.</source>
        <translation>%1: finding a record got %2 values for %3 fields.</translation>
    </message>
    <message>
        <source>%1: „%2” nije upućivanje (POLJE;POLJE=TABELA(KOLONA;KOLONA)).</source>
        <translation>%1: “%2” is not a reference (FIELD;FIELD=TABLE(COLUMN;COLUMN)).</translation>
    </message>
    <message>
        <source>%1: polje „%2” jednog upućivanja ne upisuje se sa zapisom.</source>
        <translation>%1: the field “%2” of a reference is not written with the record.</translation>
    </message>
    <message>
        <source>Polje „%1” nema skup podataka.</source>
        <translation>The field “%1” has no data set.</translation>
    </message>
    <message>
        <source>Filter „%1”: %2 na mestu %3.</source>
        <translation>Filter “%1”: %2 at position %3.</translation>
    </message>
    <message>
        <source>ime polja u [ ] nije zatvoreno</source>
        <translation>a field name in [ ] is not closed</translation>
    </message>
    <message>
        <source>ime polja je prazno</source>
        <translation>a field name is empty</translation>
    </message>
    <message>
        <source>očekuje se ime polja</source>
        <translation>a field name is expected</translation>
    </message>
    <message>
        <source>očekuje se poređenje (=, &lt;&gt;, &lt;, &lt;=, &gt;, &gt;=)</source>
        <translation>a comparison (=, &lt;&gt;, &lt;, &lt;=, &gt;, &gt;=) is expected</translation>
    </message>
    <message>
        <source>tekst pod navodnicima nije zatvoren</source>
        <translation>a quoted text is not closed</translation>
    </message>
    <message>
        <source>očekuje se ceo broj ili tekst pod navodnicima</source>
        <translation>a whole number or a quoted text is expected</translation>
    </message>
    <message>
        <source>očekuje se AND ili kraj filtera</source>
        <translation>AND or the end of the filter is expected</translation>
    </message>
    <message>
        <source>Filter: polje „%1” ne postoji.</source>
        <translation>Filter: the field “%1” does not exist.</translation>
    </message>
    <message>
        <source>SQL tekst nema nijednu naredbu.</source>
        <translation>The SQL text holds no statement.</translation>
    </message>
    <message>
        <source>SQL tekst ima više od jedne naredbe, a odjednom se izvršava samo jedna.</source>
        <translation>The SQL text holds more than one statement; only one can run at a time.</translation>
    </message>
    <message>
        <source>Nije sačuvano: drugi korisnik je u isto vreme menjao iste zapise registra. Ništa nije upisano; pokušajte ponovo.</source>
        <translation>Not saved: someone else changed the same records of the register at the same moment. Nothing was written; try again.</translation>
    </message>
    <message>
        <source>Veza sa serverom registra %1 je prekinuta (%2). Proverite da li server radi i da li je mreža u redu; sledeća radnja sama ponovo uspostavlja vezu.</source>
        <translation>The connection to the register&apos;s server %1 was broken (%2). Check that the server is running and the network is in order; the next action connects again by itself.</translation>
    </message>
    <message>
        <source>Registar %1 nije otvoren: server traži lozinku, a nije data.</source>
        <translation>The register %1 was not opened: the server asks for a password, and none was given.</translation>
    </message>
    <message>
        <source>Server registra %1 nije dostupan: %2</source>
        <translation>The register&apos;s server %1 cannot be reached: %2</translation>
    </message>
    <message>
        <source>Server registra %1 još nije dostupan (%2). Pokušajte ponovo kad proradi.</source>
        <translation>The register&apos;s server %1 cannot be reached yet (%2). Try again when it is back.</translation>
    </message>
    <message>
        <source>Tabela „%1” na serveru nema ključ od jednog ili dva cela broja, pa se njeni redovi ne mogu razlikovati.</source>
        <translation>The table “%1” on the server has no key of one or two whole numbers, so its rows cannot be told apart.</translation>
    </message>
    <message>
        <source>%1: upisano je %2, a u registru je sada %3.</source>
        <translation>%1: %2 was typed, and the register now holds %3.</translation>
    </message>
    <message>
        <source>Nije sačuvano: ovaj zapis je u međuvremenu izmenjen na drugom mestu (drugi korisnik ili program). Ništa nije upisano.</source>
        <translation>Not saved: this record was changed elsewhere in the meantime (by another user or program). Nothing was written.</translation>
    </message>
    <message>
        <source>Nije obrisano: ovaj zapis je u međuvremenu izmenjen na drugom mestu (drugi korisnik ili program). Pogledajte ga ponovo, pa ga obrišite ako i dalje treba.</source>
        <translation>Not deleted: this record was changed elsewhere in the meantime (by another user or program). Look at it again, then delete it if it still should go.</translation>
    </message>
    <message>
        <source>(bez vrednosti)</source>
        <translation>(no value)</translation>
    </message>
    <message>
        <source>Ne zna se da li je sačuvano: veza s registrom je prekinuta dok se upis završavao, a registar se posle toga nije mogao pitati (%1). Kad proradi, pogledajte da li je zapis upisan pre nego što ga ponovo sačuvate. Upisano je bilo: %2.</source>
        <translation>It is not known whether this was saved: the connection to the register broke while the save was finishing, and the register could not be asked afterwards (%1). When it works again, look whether the record is there before you save it again. What was typed: %2.</translation>
    </message>
    <message>
        <source>Nije sačuvano: veza sa serverom je prekinuta pre nego što je upis završen, pa server ništa nije upisao. Sačuvajte ponovo.</source>
        <translation>Not saved: the connection to the server broke before the save was finished, so the server wrote nothing. Save again.</translation>
    </message>
    <message>
        <source>Datoteka registra „%1” je u međuvremenu zamenjena ili uklonjena, a ono što sada stoji pod tim imenom ne može da se otvori: %2</source>
        <translation>The register file “%1” was replaced or removed in the meantime, and what now has that name cannot be opened: %2</translation>
    </message>
    <message>
        <source>„%1”</source>
        <translation>“%1”</translation>
    </message>
    <message>
        <source>Server registra nije završio pretragu za %1 s, pa je od nje odustao. Pokušajte ponovo za trenutak.</source>
        <translation>The register&apos;s server did not finish the search within %1 s and gave it up. Try again in a moment.</translation>
    </message>
    <message>
        <source>Nije sačuvano: server registra nije završio upis za %1 s, pa ništa nije upisao. Sačuvajte ponovo za trenutak.</source>
        <translation>Not saved: the register&apos;s server did not finish writing within %1 s, so it wrote nothing. Save again in a moment.</translation>
    </message>
    <message>
        <source>Server registra %1 ne odgovara već %2 s, pa je veza s njim prekinuta. Proverite da li server radi i da li je mreža u redu; sledeća radnja sama ponovo uspostavlja vezu.</source>
        <translation>The register&apos;s server %1 has not answered for %2 s, so the connection to it was closed. Check that the server is running and the network is working; the next action connects again by itself.</translation>
    </message>
    <message>
        <source>Registar ne može da se pročita: ovaj radni sto nema pravo da ga čita. Zamolite onoga ko upravlja serverom registra da vašoj ulozi da to pravo.</source>
        <translation>The register cannot be read: this desk has no right to read it. Ask whoever runs the register&apos;s server to give your role that right.</translation>
    </message>
    <message>
        <source>Nije sačuvano: ovaj radni sto nema pravo da menja registar. Ako treba da menjate, zamolite onoga ko upravlja serverom registra da vašoj ulozi da to pravo.</source>
        <translation>Not saved: this desk has no right to change the register. If you need to make changes, ask whoever runs the register&apos;s server to give your role that right.</translation>
    </message>
    <message>
        <source>Registar %1 nije otvoren: posrednik veza ispred servera ne prima podešavanja u imenu registra (options=...). Izostavite ih; vreme za naredbu podesite na serveru, za ulogu ili bazu (ALTER ROLE ... SET statement_timeout).</source>
        <translation>The register %1 was not opened: the connection pooler in front of the server does not take settings in the register&apos;s name (options=...). Leave them out; set the statement timeout on the server, for the role or the database (ALTER ROLE ... SET statement_timeout).</translation>
    </message>
    <message>
        <source>Nije sačuvano: server registra %1 je rezervni server, koji samo čita (upisuje samo glavni server). Otvorite registar ponovo, sa glavnim serverom prvim u imenu ili sa target_session_attrs=read-write.</source>
        <translation>Not saved: the server of the register %1 is a standby, which only reads (only the primary server writes). Open the register again, with the primary server first in its name or with target_session_attrs=read-write.</translation>
    </message>
</context>
<context>
    <name>RegisterFile</name>
    <message>
        <source>„%1” ne može da se upiše na disk: %2</source>
        <translation>cannot write “%1” to disk: %2</translation>
    </message>
    <message>
        <source>„%1” već postoji i ostaje kakav je (--force ga zamenjuje).</source>
        <translation>“%1” already exists; it was left as it is (give --force to replace it).</translation>
    </message>
    <message>
        <source>„%1” ne može da se napravi: %2</source>
        <translation>cannot create “%1”: %2</translation>
    </message>
    <message>
        <source>„%1” ne može da se zatvori: %2</source>
        <translation>cannot close “%1”: %2</translation>
    </message>
    <message>
        <source>registar ne može da se postavi na „%1”: %2</source>
        <translation>cannot put the register at “%1”: %2</translation>
    </message>
    <message>
        <source>fascikla „%1” ne postoji: napravite je ili izaberite drugu.</source>
        <translation>the folder “%1” does not exist: make it or choose another.</translation>
    </message>
    <message>
        <source>server %1 nije dostupan: %2</source>
        <translation>the server %1 cannot be reached: %2</translation>
    </message>
    <message>
        <source>server %1 nije primio registar: %2</source>
        <translation>the server %1 did not take the register: %2</translation>
    </message>
    <message>
        <source>na serveru %1 već postoji registar (%2); ostaje kakav je (--force ga zamenjuje).</source>
        <translation>the server %1 already holds a register (%2); it was left as it is (give --force to replace it).</translation>
    </message>
    <message>
        <source>Server nije prihvatio lozinku (%1).
</source>
        <translation>The server did not accept the password (%1).
</translation>
    </message>
    <message>
        <source>Lozinka za registar %1: </source>
        <translation>Password for the register %1: </translation>
    </message>
    <message>
        <source>„%1” ne može da se otvori: %2</source>
        <translation>“%1” cannot be opened: %2</translation>
    </message>
    <message>
        <source>„%1” nije registar osoba.</source>
        <translation>“%1” is not a register of persons.</translation>
    </message>
    <message>
        <source>Dosadašnji registar je sačuvan u „%1”.</source>
        <translation>The register as it was is kept in “%1”.</translation>
    </message>
</context>
<context>
    <name>Start</name>
    <message>
        <source>REGISTAR</source>
        <translation>REGISTER</translation>
    </message>
    <message>
        <source>registar koji treba otvoriti: datoteka, ili URI baze na PostgreSQL serveru (postgresql://korisnik@server/baza)</source>
        <translation>the register to open: a file, or the URI of a database on a PostgreSQL server (postgresql://user@server/database)</translation>
    </message>
    <message>
        <source>Pretraga i uređivanje registra osoba. Bez imena registra otvara vaš registar (prvi put nudi da ga napravi); u fascikli u kojoj je program napravljen otvara proba.mdb pored programa.
Sa serverom na drugom računaru veza je šifrovana (TLS). Da bi program proverio da je to pravi server pre nego što mu pošalje lozinku, stavite sertifikat izdavaoca serverovog sertifikata u ~/.postgresql/root.crt (ili ga navedite u URI-ju: ?sslrootcert=putanja). Lozinku držite u ~/.pgpass, ne u URI-ju; kad je nema, program je traži.</source>
        <translation>Searches and edits a register of persons. Without a register&apos;s name it opens your own register (offering to make it the first time); in the folder where the program was built it opens proba.mdb beside the program.
With a server on another computer the connection is encrypted (TLS). For the program to check that it is the right server before sending it a password, put the certificate of the authority that issued the server&apos;s certificate in ~/.postgresql/root.crt (or name it in the URI: ?sslrootcert=path). Keep the password in ~/.pgpass, not in the URI; when it is not there, the program asks for it.</translation>
    </message>
</context>
<context>
    <name>TApplication</name>
    <message>
        <source>Došlo je do neočekivane greške; poslednja radnja možda nije završena.</source>
        <translation>An unexpected error occurred; the last action may not have been completed.</translation>
    </message>
    <message>
        <source>&amp;Sačuvaj</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>&amp;Ne čuvaj</source>
        <translation>&amp;Don&apos;t save</translation>
    </message>
    <message>
        <source>&amp;Ostani</source>
        <translation>S&amp;tay</translation>
    </message>
    <message>
        <source>Server traži lozinku za registar %1.

Lozinka:</source>
        <translation>The server asks for the password of the register %1.

Password:</translation>
    </message>
    <message>
        <source>&amp;Uzmi verziju iz registra</source>
        <translation>&amp;Take the register&apos;s version</translation>
    </message>
    <message>
        <source>&amp;Zadrži moju izmenu</source>
        <translation>&amp;Keep my change</translation>
    </message>
    <message>
        <source>Nastavi &amp;izmenu</source>
        <translation>&amp;Go on editing</translation>
    </message>
    <message>
        <source>Server registra %1 nije prihvatio lozinku (%2).

Pokušajte ponovo. Lozinka:</source>
        <translation>The register&apos;s server %1 did not accept the password (%2).

Try again. Password:</translation>
    </message>
    <message>
        <source>&amp;Odustani</source>
        <translation>&amp;Cancel</translation>
    </message>
</context>
<context>
    <name>TDBGrid</name>
    <message>
        <source>Lista osoba</source>
        <translation>List of persons</translation>
    </message>
</context>
<context>
    <name>TDBLookupComboBox</name>
    <message>
        <source>Nijedan naziv na spisku ne počinje sa %1. Enter ga dodaje.</source>
        <translation>No name on the list begins with %1. Enter adds it.</translation>
    </message>
    <message>
        <source>%1 nije na spisku polja „%2”: izaberite naziv sa spiska, ili ga dodajte tasterom Enter u tom polju.</source>
        <translation>%1 is not on the list of the box “%2”: choose a name from the list, or add it with Enter in that box.</translation>
    </message>
</context>
<context>
    <name>TDBNavigator</name>
    <message>
        <source>Prvi zapis</source>
        <translation>First person</translation>
    </message>
    <message>
        <source>Prethodni zapis</source>
        <translation>Previous person</translation>
    </message>
    <message>
        <source>Sledeći zapis</source>
        <translation>Next person</translation>
    </message>
    <message>
        <source>Poslednji zapis</source>
        <translation>Last person</translation>
    </message>
    <message>
        <source>Dodaj zapis</source>
        <translation>Add a person</translation>
    </message>
    <message>
        <source>Obriši zapis</source>
        <translation>Delete the person</translation>
    </message>
    <message>
        <source>Izmeni zapis</source>
        <translation>Edit the person</translation>
    </message>
    <message>
        <source>Sačuvaj izmene</source>
        <translation>Save the changes</translation>
    </message>
    <message>
        <source>Otkaži izmene</source>
        <translation>Cancel the changes</translation>
    </message>
    <message>
        <source>Osveži podatke</source>
        <translation>Read the list again</translation>
    </message>
    <message>
        <source>Navigator</source>
        <translation>Navigator</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <comment>a button and its keys</comment>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Da li da obrišem ovaj zapis?</source>
        <translation>Delete this person?</translation>
    </message>
    <message>
        <source>&amp;Da</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>&amp;Ne</source>
        <translation>&amp;No</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Kolvara</source>
        <translation>Kolvara</translation>
    </message>
    <message>
        <source>Stanje liste</source>
        <translation>State of the list</translation>
    </message>
    <message>
        <source>&amp;Ime</source>
        <translation>&amp;Name</translation>
    </message>
    <message>
        <source>&amp;Prezime</source>
        <translation>&amp;Surname</translation>
    </message>
    <message>
        <source>&amp;Država</source>
        <translation>&amp;Country</translation>
    </message>
    <message>
        <source>&amp;Grad</source>
        <translation>C&amp;ity</translation>
    </message>
    <message>
        <source>Pretraga</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>&amp;Nova pretraga</source>
        <translation>New sea&amp;rch</translation>
    </message>
    <message>
        <source>Ime</source>
        <translation>First name</translation>
    </message>
    <message>
        <source>Prezime</source>
        <translation>Surname</translation>
    </message>
    <message>
        <source>Država</source>
        <translation>Country</translation>
    </message>
    <message>
        <source>Grad</source>
        <translation>City</translation>
    </message>
    <message>
        <source>I&amp;me</source>
        <translation>&amp;First name</translation>
    </message>
    <message>
        <source>Pr&amp;ezime</source>
        <translation>S&amp;urname</translation>
    </message>
    <message>
        <source>D&amp;rzava</source>
        <translation>C&amp;ountry</translation>
    </message>
    <message>
        <source>Gr&amp;ad</source>
        <translation>Cit&amp;y</translation>
    </message>
    <message>
        <source>Drzava, broj</source>
        <translation>Country number</translation>
    </message>
    <message>
        <source>Grad, broj</source>
        <translation>City number</translation>
    </message>
    <message>
        <source>Drzava</source>
        <translation>Country</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Iz&amp;laz</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>Izmene ove osobe nisu sačuvane. Da li da ih sačuvam pre izlaska?</source>
        <translation>The changes to this person are not saved. Save them before leaving?</translation>
    </message>
    <message>
        <source>Inactive</source>
        <translation>Inactive</translation>
    </message>
    <message>
        <source>Browse [</source>
        <translation>Browse [</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>Insert</translation>
    </message>
    <message>
        <source>SetKey</source>
        <translation>SetKey</translation>
    </message>
    <message>
        <source>Ne mogu da pronadjem ID:</source>
        <translation>Cannot find ID:</translation>
    </message>
    <message>
        <source>broj osobe</source>
        <translation>person&apos;s number</translation>
    </message>
    <message>
        <source>država</source>
        <translation>country</translation>
    </message>
    <message>
        <source>grad</source>
        <translation>city</translation>
    </message>
    <message>
        <source>ime</source>
        <translation>first name</translation>
    </message>
    <message>
        <source>prezime</source>
        <translation>surname</translation>
    </message>
    <message>
        <source>naziv države</source>
        <translation>country&apos;s name</translation>
    </message>
    <message>
        <source>naziv grada</source>
        <translation>city&apos;s name</translation>
    </message>
    <message>
        <source>Osoba je sačuvana, ali spisak posle toga nije mogao ponovo da se pročita: %1</source>
        <translation>The person was saved, but the list could not be read again after that: %1</translation>
    </message>
    <message>
        <source>Ovu osobu je u međuvremenu izmenio neko drugi (drugi korisnik ili program). Ništa još nije upisano.</source>
        <translation>Someone else (another user or program) changed this person in the meantime. Nothing has been written yet.</translation>
    </message>
    <message>
        <source>vi ste upisali: %1</source>
        <translation>you typed: %1</translation>
    </message>
    <message>
        <source>u registru je sada: %1</source>
        <translation>the register now holds: %1</translation>
    </message>
    <message>
        <source>Uzmite verziju iz registra (vaša izmena se odbacuje), zadržite svoju izmenu (upisuje se preko njihove) ili nastavite izmenu.</source>
        <translation>Take the register&apos;s version (your change is dropped), keep your change (it is written over theirs), or go on editing.</translation>
    </message>
    <message>
        <source>Nije obrisano: ovu osobu je u međuvremenu izmenio neko drugi. Spisak sada pokazuje kako je upisana; obrišite je ponovo ako i dalje treba.</source>
        <translation>Not deleted: someone else changed this person in the meantime. The list now shows the person as stored; delete again if they still should go.</translation>
    </message>
    <message>
        <source>Pretraga je u toku; spisak je još prethodni.</source>
        <translation>Searching; the list is still the previous one.</translation>
    </message>
    <message>
        <source>Samo čitanje</source>
        <translation>Read only</translation>
    </message>
    <message>
        <source>Ovaj radni sto sme samo da čita registar: izmene nisu ponuđene.</source>
        <translation>This desk may only read the register: changes are not offered.</translation>
    </message>
    <message>
        <source>Server na ovom računaru</source>
        <translation>Server on this computer</translation>
    </message>
    <message>
        <source>Registar je na serveru na ovom računaru; podaci ne idu mrežom.</source>
        <translation>The register is on a server on this computer; the data does not cross the network.</translation>
    </message>
    <message>
        <source>Šifrovana veza</source>
        <translation>Encrypted connection</translation>
    </message>
    <message>
        <source>Veza sa serverom registra je šifrovana.</source>
        <translation>The connection to the register&apos;s server is encrypted.</translation>
    </message>
    <message>
        <source>Nešifrovana veza</source>
        <translation>Unencrypted connection</translation>
    </message>
    <message>
        <source>Veza sa serverom registra nije šifrovana: podaci i lozinka idu mrežom čitljivi.</source>
        <translation>The connection to the register&apos;s server is not encrypted: the data and the password cross the network readable.</translation>
    </message>
    <message>
        <source>&amp;Izvezi listu…</source>
        <translation>&amp;Export the list…</translation>
    </message>
    <message>
        <source>CSV, za tabelarne programe (*.csv)</source>
        <translation>CSV, for spreadsheet programs (*.csv)</translation>
    </message>
    <message>
        <source>Excel radna sveska (*.xlsx)</source>
        <translation>Excel workbook (*.xlsx)</translation>
    </message>
    <message>
        <source>Izvezi listu</source>
        <translation>Export the list</translation>
    </message>
    <message>
        <source>lista</source>
        <translation>list</translation>
    </message>
    <message>
        <source>Lista se izvozi…</source>
        <translation>Exporting the list…</translation>
    </message>
    <message>
        <source>Otkaži</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Š&amp;tampaj listu…</source>
        <translation>&amp;Print the list…</translation>
    </message>
    <message>
        <source>%1: „%2…”</source>
        <translation>%1: “%2…”</translation>
    </message>
    <message>
        <source>Sve osobe, bez pretrage</source>
        <translation>All persons, no search</translation>
    </message>
    <message>
        <source>Lista osoba</source>
        <translation>List of persons</translation>
    </message>
    <message>
        <source>Štampa liste</source>
        <translation>Printing the list</translation>
    </message>
    <message>
        <source>Lista se priprema za štampu…</source>
        <translation>Preparing the list for printing…</translation>
    </message>
    <message>
        <source>Lista zauzima %1 strana, previše za pregled pre štampe. Da li da je štampam bez pregleda? Pretraga može da je suzi.</source>
        <translation>The list takes %1 pages, too many for a preview. Print it without one? A search can narrow it.</translation>
    </message>
    <message>
        <source>Š&amp;tampaj bez pregleda</source>
        <translation>&amp;Print without a preview</translation>
    </message>
    <message>
        <source>Države registra</source>
        <translation>The register&apos;s countries</translation>
    </message>
    <message>
        <source>Države registra: dodavanje, preimenovanje, uklanjanje, spajanje</source>
        <translation>The register&apos;s countries: add, rename, remove, merge</translation>
    </message>
    <message>
        <source>Gradovi države</source>
        <translation>The country&apos;s cities</translation>
    </message>
    <message>
        <source>Gradovi države: dodavanje, preimenovanje, uklanjanje, spajanje</source>
        <translation>The country&apos;s cities: add, rename, remove, merge</translation>
    </message>
    <message>
        <source>Nijedna država ne počinje sa %1. Enter je dodaje u registar.</source>
        <translation>No country begins with %1. Enter adds it to the register.</translation>
    </message>
    <message>
        <source>Nijedan grad države %1 ne počinje sa %2. Enter ga dodaje u nju.</source>
        <translation>No city of %1 begins with %2. Enter adds it there.</translation>
    </message>
    <message>
        <source>(nije izabrana)</source>
        <translation>(none chosen)</translation>
    </message>
    <message>
        <source>Obrisati osobu %1 %2 (%3, %4)?</source>
        <translation>Delete %1 %2 (%3, %4)?</translation>
    </message>
    <message>
        <source>Istori&amp;ja izmena…</source>
        <translation>&amp;History of changes…</translation>
    </message>
    <message>
        <source>O&amp;brisane osobe…</source>
        <translation>&amp;Deleted persons…</translation>
    </message>
    <message>
        <source>&amp;Poništi poslednju izmenu</source>
        <translation>&amp;Undo the last change</translation>
    </message>
    <message>
        <source>Nema ničega da se poništi: ovaj radni sto od otvaranja nije sačuvao ni obrisao nijednu osobu (ili je sve već poništeno).</source>
        <translation>There is nothing to undo: since it opened, this desk has saved or deleted no person (or everything is undone already).</translation>
    </message>
    <message>
        <source>Spisak je prazan: izaberite osobu čiju istoriju želite da vidite.</source>
        <translation>The list is empty: choose the person whose history you want to see.</translation>
    </message>
    <message>
        <source>Ovaj registar ne beleži istoriju izmena (napravljen je pre nje). Vlasnik registra je uključuje naredbom:
    kolvara-make-register --add-history REGISTAR</source>
        <translation>This register keeps no history of changes (it was made before it). Its owner turns it on with the command:
    kolvara-make-register --add-history REGISTER</translation>
    </message>
    <message>
        <source>Ovaj registar ne beleži istoriju izmena (napravljen je pre nje), pa ne zna za obrisane osobe. Vlasnik registra je uključuje naredbom:
    kolvara-make-register --add-history REGISTAR</source>
        <translation>This register keeps no history of changes (it was made before it), so it knows of no deleted persons. Its owner turns it on with the command:
    kolvara-make-register --add-history REGISTER</translation>
    </message>
    <message>
        <source>Kopija registra nije napravljena</source>
        <translation>No backup of the register was made</translation>
    </message>
    <message>
        <source>Lozinka vidljiva drugima</source>
        <translation>Password visible to others</translation>
    </message>
    <message>
        <source>&amp;Uvezi osobe…</source>
        <translation>&amp;Import persons…</translation>
    </message>
    <message>
        <source>U ovaj registar ovde ne smete da dodajete osobe, pa nema uvoza.</source>
        <translation>You may not add persons to this register here, so there is nothing to import.</translation>
    </message>
    <message>
        <source>Uvezi osobe</source>
        <translation>Import persons</translation>
    </message>
    <message>
        <source>Liste osoba (*.csv *.xlsx);;Sve datoteke (*)</source>
        <translation>Lists of persons (*.csv *.xlsx);;All files (*)</translation>
    </message>
    <message>
        <source>UTF-8</source>
        <translation>UTF-8</translation>
    </message>
    <message>
        <source>Windows-1250 (latinica srednje Evrope)</source>
        <translation>Windows-1250 (Central European Latin)</translation>
    </message>
    <message>
        <source>Pismo liste</source>
        <translation>The list&apos;s encoding</translation>
    </message>
    <message>
        <source>Osobe se upisuju…</source>
        <translation>Writing the persons…</translation>
    </message>
    <message>
        <source>Uvoz je otkazan; ništa nije upisano.</source>
        <translation>The import was cancelled; nothing was written.</translation>
    </message>
    <message>
        <source>Upisano je novih osoba: %1.</source>
        <translation>New persons written: %1.</translation>
    </message>
    <message>
        <source>Osoba se upravo menja: sačuvajte izmenu (Ctrl+S) ili je otkažite (Esc), pa uvezite osobe.</source>
        <translation>A person is being changed: save the change (Ctrl+S) or cancel it (Esc), then import the persons.</translation>
    </message>
</context>
<context>
    <name>THistoryDialog</name>
    <message>
        <source>drugi program</source>
        <translation>another program</translation>
    </message>
    <message>
        <source>dodata</source>
        <translation>added</translation>
    </message>
    <message>
        <source>obrisana</source>
        <translation>deleted</translation>
    </message>
    <message>
        <source>izmenjena</source>
        <translation>changed</translation>
    </message>
    <message>
        <source>Obrisane osobe</source>
        <translation>Deleted persons</translation>
    </message>
    <message>
        <source>Istorija izmena</source>
        <translation>History of changes</translation>
    </message>
    <message>
        <source>Kada</source>
        <translation>When</translation>
    </message>
    <message>
        <source>Ko</source>
        <translation>Who</translation>
    </message>
    <message>
        <source>Izmena</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>&amp;Osobe obrisane iz registra, najskorije prve:</source>
        <translation>&amp;Persons deleted from the register, the latest first:</translation>
    </message>
    <message>
        <source>&amp;Izmene ove osobe, najskorije prve:</source>
        <translation>C&amp;hanges of this person, the latest first:</translation>
    </message>
    <message>
        <source>Ovaj radni sto sme samo da čita osobe: ovde ništa ne može da se vrati.</source>
        <translation>This desk may only read the persons: nothing can be taken back here.</translation>
    </message>
    <message>
        <source>Nijedna obrisana osoba nije zabeležena.</source>
        <translation>No deleted person is recorded.</translation>
    </message>
    <message>
        <source>Za ovu osobu nije zabeležena nijedna izmena.</source>
        <translation>No change of this person is recorded.</translation>
    </message>
    <message>
        <source>&amp;Vrati osobu</source>
        <translation>&amp;Bring back</translation>
    </message>
    <message>
        <source>&amp;Vrati ovu verziju</source>
        <translation>&amp;Take this version back</translation>
    </message>
    <message>
        <source>&amp;Zatvori</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>pre toga</source>
        <translation>before that</translation>
    </message>
    <message>
        <source>Broj</source>
        <translation>Number</translation>
    </message>
</context>
<context>
    <name>TImportDialog</name>
    <message>
        <source>Uvezi osobe</source>
        <translation>Import persons</translation>
    </message>
    <message>
        <source>&amp;Uvezi</source>
        <translation>&amp;Import</translation>
    </message>
    <message>
        <source>&amp;Dalje &gt;</source>
        <translation>&amp;Next &gt;</translation>
    </message>
    <message>
        <source>&lt; &amp;Nazad</source>
        <translation>&lt; &amp;Back</translation>
    </message>
    <message>
        <source>Otkaži</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Kolone liste</source>
        <translation>The list&apos;s columns</translation>
    </message>
    <message>
        <source>Ovako su kolone prepoznate po naslovima; promenite ako nije tako.</source>
        <translation>This is how the columns were recognised by their titles; change them if it is not so.</translation>
    </message>
    <message>
        <source>&amp;Ime:</source>
        <translation>&amp;First name:</translation>
    </message>
    <message>
        <source>&amp;Prezime:</source>
        <translation>&amp;Surname:</translation>
    </message>
    <message>
        <source>&amp;Država (naziv ili broj):</source>
        <translation>&amp;Country (name or number):</translation>
    </message>
    <message>
        <source>&amp;Grad (naziv ili broj):</source>
        <translation>Ci&amp;ty (name or number):</translation>
    </message>
    <message>
        <source>(nema)</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>Šta će biti upisano</source>
        <translation>What will be written</translation>
    </message>
    <message>
        <source>Ništa još nije upisano; „Uvezi” upisuje sve u jednoj izmeni registra.</source>
        <translation>Nothing is written yet; “Import” writes it all as one change of the register.</translation>
    </message>
    <message>
        <source>Pregled uvoza</source>
        <translation>The import&apos;s preview</translation>
    </message>
    <message>
        <source>Dodaj &amp;države i gradove kojih nema u registru</source>
        <translation>Add the countries and cities &amp;missing from the register</translation>
    </message>
    <message>
        <source>Ovde ne smete da dodajete države i gradove.</source>
        <translation>You may not add countries and cities here.</translation>
    </message>
    <message>
        <source>Upiši i osobe &amp;koje već postoje</source>
        <translation>Write the persons &amp;already there too</translation>
    </message>
</context>
<context>
    <name>TPlacesDialog</name>
    <message>
        <source>Gradovi</source>
        <translation>Cities</translation>
    </message>
    <message>
        <source>Države</source>
        <translation>Countries</translation>
    </message>
    <message>
        <source>Dr&amp;žava:</source>
        <translation>Coun&amp;try:</translation>
    </message>
    <message>
        <source>Gradovi i &amp;broj osoba u svakom:</source>
        <translation>Cities, and the &amp;persons living in each:</translation>
    </message>
    <message>
        <source>Države i &amp;broj osoba u svakoj:</source>
        <translation>Countries, and the &amp;persons living in each:</translation>
    </message>
    <message>
        <source>Naziv</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Osoba</source>
        <translation>Persons</translation>
    </message>
    <message>
        <source>&amp;Dodaj…</source>
        <translation>&amp;Add…</translation>
    </message>
    <message>
        <source>&amp;Preimenuj…</source>
        <translation>&amp;Rename…</translation>
    </message>
    <message>
        <source>&amp;Ukloni…</source>
        <translation>Re&amp;move…</translation>
    </message>
    <message>
        <source>&amp;Spoji s…</source>
        <translation>Mer&amp;ge with…</translation>
    </message>
    <message>
        <source>&amp;Zatvori</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>Ovaj radni sto sme samo da čita države i gradove. Izmene može da pravi radni sto kome je vlasnik registra to dozvolio.</source>
        <translation>This desk may only read the countries and cities. They can be changed at a desk the register&apos;s owner allows to.</translation>
    </message>
    <message>
        <source>Gradovi države %1</source>
        <translation>Cities of %1</translation>
    </message>
    <message>
        <source>%1 (osoba: %2)</source>
        <translation>%1 (persons: %2)</translation>
    </message>
    <message>
        <source>Novi grad</source>
        <translation>New city</translation>
    </message>
    <message>
        <source>Nova država</source>
        <translation>New country</translation>
    </message>
    <message>
        <source>Naziv novog grada u državi %1:</source>
        <translation>Name of the new city in %1:</translation>
    </message>
    <message>
        <source>Naziv nove države:</source>
        <translation>Name of the new country:</translation>
    </message>
    <message>
        <source>Preimenovanje grada</source>
        <translation>Renaming a city</translation>
    </message>
    <message>
        <source>Preimenovanje države</source>
        <translation>Renaming a country</translation>
    </message>
    <message>
        <source>Novi naziv za %1:</source>
        <translation>New name for %1:</translation>
    </message>
    <message>
        <source>Ukloniti grad %1 iz registra?</source>
        <translation>Remove the city %1 from the register?</translation>
    </message>
    <message>
        <source>Ukloniti državu %1 iz registra, s njenim gradovima?</source>
        <translation>Remove the country %1 from the register, with its cities?</translation>
    </message>
    <message>
        <source>&amp;Ukloni</source>
        <translation>Re&amp;move</translation>
    </message>
    <message>
        <source>%1, broj %2, osoba: %3</source>
        <translation>%1, number %2, persons: %3</translation>
    </message>
    <message>
        <source>Spajanje</source>
        <translation>Merging</translation>
    </message>
    <message>
        <source>Grad %1 se spaja s gradom (njegove osobe prelaze u njega, a on se uklanja):</source>
        <translation>Merge the city %1 into the city (its persons move there, and it is removed):</translation>
    </message>
    <message>
        <source>Država %1 se spaja s državom (njene osobe i gradovi prelaze u nju, a ona se uklanja):</source>
        <translation>Merge the country %1 into the country (its persons and cities move there, and it is removed):</translation>
    </message>
    <message>
        <source>Mesto %1 je u međuvremenu preimenovano na drugom radnom stolu. Ništa još nije upisano.

vi ste upisali: %2
u registru je sada: %3</source>
        <translation>%1 has meanwhile been renamed at another desk. Nothing has been written yet.

you typed: %2
the register now has: %3</translation>
    </message>
</context>
</TS>
