<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
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
        <translation>&amp;Don't save</translation>
    </message>
    <message>
        <source>&amp;Ostani</source>
        <translation>S&amp;tay</translation>
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
        <source>Drzava, izbor</source>
        <translation>Choose a country</translation>
    </message>
    <message>
        <source>Grad, izbor</source>
        <translation>Choose a city</translation>
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
</context>
</TS>
