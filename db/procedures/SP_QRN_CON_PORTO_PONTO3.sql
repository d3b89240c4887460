-- params: USUARIO_INTERNET_ID
-- The ports linked to the user's branch, with the branch's operation point.
SELECT f.PONTO_OPERACAO_ID AS PONTO_OPERACAO_ID,
       p.PORTO_ID          AS PORTO_ID,
       p.NOME_PORTO        AS nome_porto
  FROM USUARIO_INTERNET u
  JOIN FILIAL f        ON f.FILIAL_ID = u.FILIAL_ID
  JOIN FILIAL_PORTO fp ON fp.FILIAL_ID = f.FILIAL_ID
  JOIN PORTO p         ON p.PORTO_ID = fp.PORTO_ID
 WHERE u.USUARIO_INTERNET_ID = :USUARIO_INTERNET_ID
 ORDER BY p.NOME_PORTO;
